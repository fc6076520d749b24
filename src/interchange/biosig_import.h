#pragma once
// Other systems' SCP-ECG, HL7 aECG and EDF/EDF+ files read with libbiosig, in the helper's
// process only (libbiosig has crashed on files it misreads; a crash there must never take a
// record window with it).

#include "storage/signal_stream.h"

#include <string>

// The first maxSeconds (all when 0) of the file at path, in µV, with what the file says of the
// patient and the start. False with *error naming what is wrong.
bool ImportWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                      std::string* error);
