#pragma once
// The hospital archive over DICOM (DCMTK's SCU): a C-ECHO to check the link and a C-STORE of a
// DICOM object, one built in memory or one read from a file as it stands. Every wait is bounded
// by the peer's time-out: connecting, the association and each message; a PACS that stalls is an
// error, never a hang.

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/oflist.h>
#include <dcmtk/ofstd/ofstring.h>

#include <cstdint>
#include <string>
#include <vector>

class DcmFileFormat;
class DcmSCU;

struct PacsPeer {
    std::string host;
    int port = 104;
    std::string calledAeTitle = "ORTHANC";  // the PACS's own
    std::string callingAeTitle = "VELMORA"; // ours
    int timeoutSeconds = 30;
};

// Our side of every association with the peer: the AE titles, its address, every wait bounded
// by its time-out, DCMTK's console log silenced (the caller reports the one line that matters).
void ConfigureScu(DcmSCU& scu, const PacsPeer& peer);
// The transfer syntaxes we offer for every context: explicit, then implicit little endian.
OFList<OFString> OfferedSyntaxes();

bool EchoPacs(const PacsPeer& peer, std::string* error);

// Stores the objects in one association, each under its own SOP class and instance
// (*instanceUids in order); false with *error at the first the PACS did not confirm (those before
// it are stored).
bool StoreToPacs(const PacsPeer& peer, const std::vector<DcmFileFormat*>& objects,
                 std::vector<std::string>* instanceUids, std::string* error);

// Stores the object under its own SOP class and instance (*instanceUid); false with *error when
// the PACS did not confirm it.
bool StoreToPacs(const PacsPeer& peer, DcmFileFormat& object, std::string* instanceUid,
                 std::string* error);

// The bytes of a file as an object to store as it stands: one the program's own reader takes as
// an ECG, with a SOP class and instance. False with *error saying what it is not; checked before
// any association, so a wrong file never reaches the PACS.
bool LoadStorableDicom(const std::vector<uint8_t>& bytes, DcmFileFormat& object,
                       std::string* error);
