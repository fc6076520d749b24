#include "interchange/pacs_client.h"

#include "interchange/dicom_import.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string Where(const PacsPeer& peer) {
    return peer.calledAeTitle + "@" + peer.host + ":" + std::to_string(peer.port);
}

// An association with the peer offering the given SOP classes; *error says why there is none.
bool Associate(DcmSCU& scu, const PacsPeer& peer, const std::vector<std::string>& sopClasses,
               std::string* error) {
    ConfigureScu(scu, peer);
    const OFList<OFString> syntaxes = OfferedSyntaxes();
    OFCondition c = EC_Normal;
    for (const std::string& sopClass : sopClasses)
        if (c.good())
            c = scu.addPresentationContext(sopClass.c_str(), syntaxes);
    if (c.good())
        c = scu.initNetwork();
    if (c.good())
        c = scu.negotiateAssociation();
    if (c.bad()) {
        *error = "no association with the PACS " + Where(peer) + ": " + c.text();
        return false;
    }
    return true;
}

} // namespace

void ConfigureScu(DcmSCU& scu, const PacsPeer& peer) {
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
    const Uint32 timeout = Uint32(std::clamp(peer.timeoutSeconds, 1, 3600));
    scu.setAETitle(peer.callingAeTitle.c_str());
    scu.setPeerHostName(peer.host.c_str());
    scu.setPeerPort(Uint16(peer.port));
    scu.setPeerAETitle(peer.calledAeTitle.c_str());
    scu.setConnectionTimeout(Sint32(timeout));
    scu.setACSETimeout(timeout);
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    scu.setDIMSETimeout(timeout);
}

OFList<OFString> OfferedSyntaxes() {
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    return syntaxes;
}

bool EchoPacs(const PacsPeer& peer, std::string* error) {
    DcmSCU scu;
    if (!Associate(scu, peer, {UID_VerificationSOPClass}, error))
        return false;
    const OFCondition c = scu.sendECHORequest(0);
    scu.releaseAssociation();
    if (c.bad()) {
        *error = "the PACS " + Where(peer) + " did not answer the echo: " + c.text();
        return false;
    }
    return true;
}

bool LoadStorableDicom(const std::vector<uint8_t>& bytes, DcmFileFormat& object,
                       std::string* error) {
    // What the window would open; a file it could not show is no record to archive either.
    ForeignEcg ecg;
    if (!ImportDicom(bytes.data(), bytes.size(), 0, ecg, error)) {
        // A data set without the file's preamble is still read; say so when there is neither.
        static const char kMarker[] = "DICM";
        if (bytes.size() < 132 || std::memcmp(bytes.data() + 128, kMarker, 4) != 0)
            *error = "no DICOM file (no DICM marker after the preamble), " + *error;
        return false;
    }
    DcmInputBufferStream in;
    in.setBuffer(bytes.data(), offile_off_t(bytes.size()));
    in.setEos();
    object.transferInit();
    const OFCondition c = object.read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
    object.transferEnd();
    if (c.bad()) {
        *error = std::string("not a DICOM object DCMTK can read: ") + c.text();
        return false;
    }
    OFString sopClass, sopInstance;
    DcmDataset* set = object.getDataset();
    if (set->findAndGetOFString(DCM_SOPClassUID, sopClass).bad() || sopClass.empty()) {
        *error = "the DICOM object names no SOP class";
        return false;
    }
    if (set->findAndGetOFString(DCM_SOPInstanceUID, sopInstance).bad() || sopInstance.empty()) {
        *error = "the DICOM object has no SOP instance UID";
        return false;
    }
    return true;
}

// The datasets go out in the transfer syntax the PACS accepts (DCMTK re-encodes them if a file
// had another; a waveform is never compressed, so its samples arrive as they were), all in one
// association: the first is the one the caller stores, the others go with it.
bool StoreToPacs(const PacsPeer& peer, const std::vector<DcmFileFormat*>& objects,
                 std::vector<std::string>* instanceUids, std::string* error) {
    std::vector<std::string> classes, instances;
    for (DcmFileFormat* object : objects) {
        OFString sopClass, sopInstance;
        DcmDataset* set = object->getDataset();
        if (set->findAndGetOFString(DCM_SOPClassUID, sopClass).bad() ||
            set->findAndGetOFString(DCM_SOPInstanceUID, sopInstance).bad()) {
            *error = "the DICOM object has no SOP class or instance";
            return false;
        }
        classes.push_back(sopClass.c_str());
        instances.push_back(sopInstance.c_str());
    }
    DcmSCU scu;
    if (!Associate(scu, peer, classes, error))
        return false;
    for (size_t i = 0; i < objects.size(); ++i) {
        const T_ASC_PresentationContextID id =
            scu.findAnyPresentationContextID(classes[i].c_str(), "");
        if (id == 0) {
            scu.releaseAssociation();
            *error = "the PACS " + Where(peer) + " does not take " +
                     (i == 0 ? "ECG waveforms" : "encapsulated documents") + " (" + classes[i] +
                     ")";
            return false;
        }
        Uint16 status = 0;
        const OFCondition c = scu.sendSTORERequest(id, "", objects[i]->getDataset(), status);
        if (c.bad()) {
            scu.abortAssociation();
            *error = "the PACS " + Where(peer) + " did not confirm the store: " + c.text();
            return false;
        }
        // 0x0000 success; 0xB000, 0xB007, 0xB006: stored with a warning.
        if (status != 0 && (status & 0xF000) != 0xB000) {
            scu.releaseAssociation();
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", status);
            *error = "the PACS " + Where(peer) + " refused the object " + instances[i] +
                     " (status 0x" + hex + ")";
            return false;
        }
    }
    scu.releaseAssociation();
    *instanceUids = instances;
    return true;
}

bool StoreToPacs(const PacsPeer& peer, DcmFileFormat& object, std::string* instanceUid,
                 std::string* error) {
    std::vector<std::string> uids;
    if (!StoreToPacs(peer, {&object}, &uids, error))
        return false;
    *instanceUid = uids.front();
    return true;
}
