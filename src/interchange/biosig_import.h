#pragma once
// Other systems' SCP-ECG, HL7 aECG and EDF/EDF+ files read with libbiosig, in the helper's
// process only (libbiosig has crashed on files it misreads; a crash there must never take a
// record window with it).

#include "storage/file_details.h"
#include "storage/signal_stream.h"

#include <string>

// The first maxSeconds (all when 0) of the file at path, in µV, with what the file says of the
// patient and the start; *details (when given) the equipment the file names and, for our own
// aECG and EDF+ files, what our writer put beside the patient (the name's parts, the doctor,
// the device number). An XML file that declares a DOCTYPE is refused before any parser reads
// it. False with *error naming what is wrong.
bool ImportWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                      std::string* error, CFileDetails* details = nullptr);

// The reason an XML text is refused before it is parsed (a DOCTYPE), empty when it is not.
std::string XmlRefusal(const std::string& text);
