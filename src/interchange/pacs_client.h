#pragma once
// The hospital archive over DICOM (DCMTK's SCU): a C-ECHO to check the link and a C-STORE of a
// DICOM file. Every wait is bounded by the peer's time-out: connecting, the association and each
// message; a PACS that stalls is an error, never a hang.

#include <string>

struct PacsPeer {
    std::string host;
    int port = 104;
    std::string calledAeTitle = "ORTHANC";  // the PACS's own
    std::string callingAeTitle = "VELMORA"; // ours
    int timeoutSeconds = 30;
};

bool EchoPacs(const PacsPeer& peer, std::string* error);

// Stores the DICOM file at path; false with *error when the PACS did not confirm it.
bool StoreToPacs(const PacsPeer& peer, const std::string& path, std::string* error);
