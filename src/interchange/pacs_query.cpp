#include "interchange/pacs_query.h"

#include "storage/field_escape.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr char kFindModel[] = UID_FINDStudyRootQueryRetrieveInformationModel;
constexpr char kGetModel[] = UID_GETStudyRootQueryRetrieveInformationModel;

std::string Where(const PacsPeer& peer) {
    return peer.calledAeTitle + "@" + peer.host + ":" + std::to_string(peer.port);
}

std::string Hex(Uint16 status) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", status);
    return std::string("0x") + hex;
}

// What a query/retrieve status says, for the one line the caller shows.
std::string StatusText(Uint16 status) {
    std::string meaning;
    if (status == 0xA700 || status == 0xA701 || status == 0xA702)
        meaning = "out of resources";
    else if (status == 0xA900)
        meaning = "the identifier does not match the SOP class";
    else if (status == 0x0122)
        meaning = "the SOP class is not supported";
    else if (status == 0x0124)
        meaning = "not authorised";
    else if (status == 0xFE00)
        meaning = "cancelled";
    else if ((status & 0xF000) == 0xC000)
        meaning = "unable to process";
    else if (status == 0xB000)
        meaning = "some sub-operations failed";
    return "status " + Hex(status) + (meaning.empty() ? "" : ", " + meaning);
}

bool IsPending(Uint16 status) {
    return status == STATUS_FIND_Pending_MatchesAreContinuing ||
           status == STATUS_FIND_Pending_WarningUnsupportedOptionalKeys;
}

// A UID that may name a file: digits and dots only, as UIDs are; anything else a PACS sends is
// refused rather than let into a path.
bool IsPlainUid(const std::string& uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' &&
           uid.find_first_not_of("0123456789.") == std::string::npos;
}

std::string Text(DcmItem* item, const DcmTagKey& tag) {
    OFString value;
    if (item && item->findAndGetOFStringArray(tag, value).good())
        return std::string(value.c_str(), value.length());
    return {};
}

// DCMTK bounds its wait for each message, but once a PDU has begun it reads the rest of it
// without a time-out: a PACS that stalls in the middle of an object would hold the helper for
// good. This watch ends the process when nothing has come or gone for longer than the peer's
// time-out (a second more, so that DCMTK's own time-out is heard first).
class CStallWatch {
public:
    CStallWatch(const PacsPeer& peer)
        : m_limit(std::chrono::seconds(std::clamp(peer.timeoutSeconds, 1, 3600) + 1)),
          m_strWhere(Where(peer)), m_thread([this] { Watch(); }) {}
    ~CStallWatch() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bDone = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    CStallWatch(const CStallWatch&) = delete;
    CStallWatch& operator=(const CStallWatch&) = delete;

    void Progress() { m_nLast = Now(); }

private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void Watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_bDone; })) {
            const int64_t silent = Now() - m_nLast;
            if (silent <= std::chrono::duration_cast<std::chrono::milliseconds>(m_limit).count())
                continue;
            std::fprintf(
                stderr, "the PACS %s stalled in the middle of a message: nothing came for %lld s\n",
                m_strWhere.c_str(), static_cast<long long>(silent / 1000));
            std::fflush(stderr);
            std::_Exit(2);
        }
    }

    const std::chrono::seconds m_limit;
    const std::string m_strWhere;
    std::atomic<int64_t> m_nLast{Now()};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bDone = false;
    std::thread m_thread;
};

// The SCU of both commands: C-FIND, and C-GET with the ECG objects it receives written into a
// folder (and every other object refused).
class CEcgScu : public DcmSCU {
public:
    explicit CEcgScu(const PacsPeer& peer) : m_watch(peer) {}

    std::string m_strFolder;
    std::vector<std::string> m_Files;
    std::set<std::string> m_Studies; // of the objects written
    std::string m_strStoreError;     // why an object that came could not be kept
    unsigned long m_nReceived = 0;   // bytes of objects received in the current request
    CStallWatch m_watch;

protected:
    void notifySENDProgress(const unsigned long) override { m_watch.Progress(); }
    OFCondition handleFINDResponse(const T_ASC_PresentationContextID presID, QRResponse* response,
                                   OFBool& waitForNextResponse) override {
        m_watch.Progress();
        return DcmSCU::handleFINDResponse(presID, response, waitForNextResponse);
    }
    OFCondition handleCGETResponse(const T_ASC_PresentationContextID presID,
                                   RetrieveResponse* response,
                                   OFBool& continueCGETSession) override {
        m_watch.Progress();
        return DcmSCU::handleCGETResponse(presID, response, continueCGETSession);
    }
    void notifyRECEIVEProgress(const unsigned long byteCount) override {
        m_watch.Progress();
        m_nReceived = byteCount;
    }

    OFCondition handleSTORERequest(const T_ASC_PresentationContextID, DcmDataset* incoming,
                                   OFBool& continueCGETSession,
                                   Uint16& cStoreReturnStatus) override {
        std::unique_ptr<DcmDataset> set(incoming);
        m_watch.Progress();
        continueCGETSession = OFTrue;
        const std::string sopClass = Text(set.get(), DCM_SOPClassUID);
        const std::string instance = Text(set.get(), DCM_SOPInstanceUID);
        if (!IsEcgWaveformClass(sopClass) || !IsPlainUid(instance)) {
            // Not ours to keep (nor a name to write under): refused, and the fetch goes on.
            cStoreReturnStatus = STATUS_STORE_Refused_SOPClassNotSupported;
            return EC_Normal;
        }
        const std::string path = m_strFolder + "/" + instance + ".dcm";
        const std::string part = m_strFolder + "/." + instance + ".part";
        DcmFileFormat file(set.get());
        // One encoding whatever the PACS sent in, so that the same object fetched twice is the
        // same file.
        const OFCondition c = file.saveFile(part.c_str(), EXS_LittleEndianExplicit);
        std::string why = c.bad() ? std::string(c.text()) : std::string();
        if (why.empty() &&
            (::chmod(part.c_str(), 0600) != 0 || std::rename(part.c_str(), path.c_str()) != 0))
            why = std::strerror(errno);
        if (!why.empty()) {
            std::remove(part.c_str());
            cStoreReturnStatus = STATUS_STORE_Refused_OutOfResources;
            m_strStoreError = "cannot write " + path + ": " + why;
            return EC_Normal;
        }
        if (std::find(m_Files.begin(), m_Files.end(), path) == m_Files.end())
            m_Files.push_back(path);
        m_Studies.insert(Text(set.get(), DCM_StudyInstanceUID));
        cStoreReturnStatus = STATUS_Success;
        return EC_Normal;
    }
};

// An association offering Study Root C-FIND, and with `get` C-GET and the storage of the ECG
// classes in the SCP role (the objects come back over the same association).
bool Associate(CEcgScu& scu, const PacsPeer& peer, bool get, std::string* error) {
    ConfigureScu(scu, peer);
    const OFList<OFString> syntaxes = OfferedSyntaxes();
    OFCondition c = scu.addPresentationContext(kFindModel, syntaxes);
    if (get) {
        if (c.good())
            c = scu.addPresentationContext(kGetModel, syntaxes);
        for (const char* sopClass :
             {UID_TwelveLeadECGWaveformStorage, UID_GeneralECGWaveformStorage})
            if (c.good())
                c = scu.addPresentationContext(sopClass, syntaxes, ASC_SC_ROLE_SCP);
    }
    if (c.good())
        c = scu.initNetwork();
    scu.m_watch.Progress();
    if (c.good())
        c = scu.negotiateAssociation();
    if (c.bad()) {
        *error = "no association with the PACS " + Where(peer) + ": " + c.text();
        return false;
    }
    return true;
}

// One C-FIND; the matches' identifiers (re-coded to UTF-8 where DCMTK can) in *matches. False
// with *error when the PACS does not answer or ends with a failure.
bool Find(CEcgScu& scu, const PacsPeer& peer, DcmDataset& query,
          std::vector<std::unique_ptr<DcmDataset>>& matches, std::string* error) {
    const T_ASC_PresentationContextID id = scu.findAnyPresentationContextID(kFindModel, "");
    if (id == 0) {
        *error = "the PACS " + Where(peer) + " does not take study-root queries (C-FIND)";
        return false;
    }
    OFList<QRResponse*> responses;
    scu.m_watch.Progress();
    const OFCondition c = scu.sendFINDRequest(id, &query, &responses);
    Uint16 final = 0;
    bool answered = false;
    for (QRResponse* r : responses) {
        if (IsPending(r->m_status) && r->m_dataset) {
            auto set = std::make_unique<DcmDataset>(*r->m_dataset);
            set->convertToUTF8(); // names as the PACS's character set gives them
            matches.push_back(std::move(set));
        } else if (!IsPending(r->m_status)) {
            final = r->m_status;
            answered = true;
        }
        delete r;
    }
    if (c.bad()) {
        *error = "the PACS " + Where(peer) + " did not answer the query: " + c.text();
        return false;
    }
    if (!answered || final != STATUS_Success) {
        *error = "the PACS " + Where(peer) + " refused the query (" +
                 (answered ? StatusText(final) : std::string("no final answer")) + ")";
        return false;
    }
    return true;
}

// The ECG waveform objects of a study: its ECG series with their counts, and for a series whose
// count the PACS does not give, its instances of the ECG classes.
bool CountEcgs(CEcgScu& scu, const PacsPeer& peer, const std::string& studyUid, int* count,
               std::string* error) {
    *count = 0;
    DcmDataset series;
    series.putAndInsertString(DCM_QueryRetrieveLevel, "SERIES");
    series.putAndInsertString(DCM_StudyInstanceUID, studyUid.c_str());
    series.putAndInsertString(DCM_SeriesInstanceUID, "");
    series.putAndInsertString(DCM_Modality, "");
    series.putAndInsertString(DCM_NumberOfSeriesRelatedInstances, "");
    std::vector<std::unique_ptr<DcmDataset>> found;
    if (!Find(scu, peer, series, found, error))
        return false;
    for (const std::unique_ptr<DcmDataset>& s : found) {
        // Waveforms live in ECG series; a report or an image beside them is not counted.
        if (Text(s.get(), DCM_Modality) != "ECG")
            continue;
        const std::string counted = Text(s.get(), DCM_NumberOfSeriesRelatedInstances);
        if (!counted.empty() && counted.find_first_not_of("0123456789 ") == std::string::npos) {
            *count += std::atoi(counted.c_str());
            continue;
        }
        DcmDataset images;
        images.putAndInsertString(DCM_QueryRetrieveLevel, "IMAGE");
        images.putAndInsertString(DCM_StudyInstanceUID, studyUid.c_str());
        images.putAndInsertString(DCM_SeriesInstanceUID,
                                  Text(s.get(), DCM_SeriesInstanceUID).c_str());
        images.putAndInsertString(DCM_SOPInstanceUID, "");
        images.putAndInsertString(DCM_SOPClassUID, "");
        std::vector<std::unique_ptr<DcmDataset>> objects;
        if (!Find(scu, peer, images, objects, error))
            return false;
        for (const std::unique_ptr<DcmDataset>& o : objects)
            *count += IsEcgWaveformClass(Text(o.get(), DCM_SOPClassUID));
    }
    return true;
}

// Which of the studies the PACS holds with an ECG in them: asked for all at once (a list of
// UIDs), and one by one for those a PACS without list matching left out.
bool StudiesWithEcg(CEcgScu& scu, const PacsPeer& peer, const std::vector<std::string>& uids,
                    std::vector<std::string>& missing, std::string* error) {
    const auto ask = [&](const std::string& keys, std::vector<std::string>& held) {
        DcmDataset query;
        query.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
        query.putAndInsertString(DCM_StudyInstanceUID, keys.c_str());
        query.putAndInsertString(DCM_ModalitiesInStudy, "ECG");
        std::vector<std::unique_ptr<DcmDataset>> found;
        if (!Find(scu, peer, query, found, error))
            return false;
        for (const std::unique_ptr<DcmDataset>& f : found)
            held.push_back(Text(f.get(), DCM_StudyInstanceUID));
        return true;
    };
    std::string list;
    for (const std::string& uid : uids)
        list += (list.empty() ? "" : "\\") + uid;
    std::vector<std::string> held;
    if (!ask(list, held))
        return false;
    missing.clear();
    for (const std::string& uid : uids) {
        if (std::find(held.begin(), held.end(), uid) != held.end())
            continue;
        std::vector<std::string> one;
        if (uids.size() > 1 && !ask(uid, one))
            return false;
        if (one.empty())
            missing.push_back(uid);
    }
    return true;
}

} // namespace

bool IsEcgWaveformClass(const std::string& sopClass) {
    return sopClass == UID_TwelveLeadECGWaveformStorage ||
           sopClass == UID_GeneralECGWaveformStorage;
}

bool FindEcgStudies(const PacsPeer& peer, const std::string& patientId,
                    std::vector<CPacsStudy>& out, std::string* error) {
    out.clear();
    if (patientId.empty()) {
        *error = "no patient ID to search the PACS by";
        return false;
    }
    // The PACS would take them as wildcards or a list and answer with other patients' studies.
    if (patientId.find_first_of("*?\\") != std::string::npos) {
        *error = "the patient ID '" + patientId + "' holds a wildcard or a backslash";
        return false;
    }
    CEcgScu scu(peer);
    if (!Associate(scu, peer, false, error))
        return false;
    DcmDataset query;
    // Our ID is UTF-8, and a PACS that can answers in the same; whatever set it answers in
    // is re-coded below.
    query.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    query.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
    query.putAndInsertString(DCM_PatientID, patientId.c_str());
    query.putAndInsertString(DCM_ModalitiesInStudy, "ECG");
    for (const DcmTagKey& key :
         {DCM_StudyInstanceUID, DCM_StudyDate, DCM_StudyTime, DCM_PatientName, DCM_PatientBirthDate,
          DCM_PatientSex, DCM_AccessionNumber})
        query.putAndInsertString(key, "");
    std::vector<std::unique_ptr<DcmDataset>> matches;
    bool ok = Find(scu, peer, query, matches, error);
    for (size_t i = 0; ok && i < matches.size(); ++i) {
        DcmDataset* m = matches[i].get();
        CPacsStudy s;
        s.m_strStudyUid = Text(m, DCM_StudyInstanceUID);
        // A PACS that ignores the key for the ID (matching is its own) is not let through.
        s.m_strPatientId = Text(m, DCM_PatientID);
        if (s.m_strStudyUid.empty() || (!s.m_strPatientId.empty() && s.m_strPatientId != patientId))
            continue;
        s.m_strPatientId = patientId;
        s.m_strDate = Text(m, DCM_StudyDate);
        s.m_strTime = Text(m, DCM_StudyTime);
        s.m_strPatientName = Text(m, DCM_PatientName);
        s.m_strBirthDate = Text(m, DCM_PatientBirthDate);
        s.m_strSex = Text(m, DCM_PatientSex);
        s.m_strAccession = Text(m, DCM_AccessionNumber);
        ok = CountEcgs(scu, peer, s.m_strStudyUid, &s.m_nEcgInstances, error);
        out.push_back(std::move(s));
    }
    if (ok)
        scu.releaseAssociation();
    else
        scu.abortAssociation();
    // The newest first, as a list of earlier ECGs is read.
    std::stable_sort(out.begin(), out.end(), [](const CPacsStudy& a, const CPacsStudy& b) {
        return a.m_strDate + a.m_strTime > b.m_strDate + b.m_strTime;
    });
    return ok;
}

bool GetEcgStudies(const PacsPeer& peer, const std::vector<std::string>& studyUids,
                   const std::string& folder, std::vector<std::string>* files, std::string* error) {
    files->clear();
    for (const std::string& uid : studyUids)
        if (!IsPlainUid(uid)) {
            *error = "not a study UID: '" + uid + "'";
            return false;
        }
    CEcgScu scu(peer);
    scu.m_strFolder = folder;
    if (!Associate(scu, peer, true, error))
        return false;
    const auto fail = [&](const std::string& why) {
        scu.abortAssociation();
        *error = why;
        return false;
    };
    std::vector<std::string> missing;
    std::string why;
    if (!StudiesWithEcg(scu, peer, studyUids, missing, &why))
        return fail(why);
    if (!missing.empty())
        return fail("the PACS " + Where(peer) + " holds no ECG of the study " + missing.front());
    const T_ASC_PresentationContextID id = scu.findAnyPresentationContextID(kGetModel, "");
    if (id == 0)
        return fail("the PACS " + Where(peer) +
                    " refused C-GET (it did not accept the study-root retrieval in the "
                    "association); it would have to send the objects by C-MOVE");
    // The studies at once (a list of UIDs), then one by one those that brought nothing (a PACS
    // without list matching). Their ECGs come in the storage we offered; anything else in a
    // study (the printed report beside an ECG) is a sub-operation the PACS counts as failed.
    std::string list;
    for (const std::string& uid : studyUids)
        list += (list.empty() ? "" : "\\") + uid;
    std::vector<std::string> asks;
    if (studyUids.size() > 1)
        asks.push_back(list);
    asks.insert(asks.end(), studyUids.begin(), studyUids.end());
    for (size_t n = 0; n < asks.size(); ++n) {
        const bool all = studyUids.size() > 1 && n == 0;
        const std::string& study = asks[n];
        if (!all && scu.m_Studies.count(study))
            continue;
        const std::string what = all ? "the studies" : "the study " + study;
        DcmDataset keys;
        keys.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
        keys.putAndInsertString(DCM_StudyInstanceUID, study.c_str());
        OFList<RetrieveResponse*> responses;
        const size_t had = scu.m_Files.size();
        scu.m_strStoreError.clear();
        scu.m_nReceived = 0;
        scu.m_watch.Progress();
        const OFCondition c = scu.sendCGETRequest(id, &keys, &responses);
        Uint16 final = 0;
        bool answered = false;
        for (RetrieveResponse* r : responses) {
            if (r->m_status != STATUS_GET_Pending_SubOperationsAreContinuing) {
                final = r->m_status;
                answered = true;
            }
            delete r;
        }
        // A PACS that will not send to us tends to end the association at once.
        if (c == DUL_PEERABORTEDASSOCIATION && scu.m_nReceived == 0 && scu.m_Files.size() == had)
            return fail("the PACS " + Where(peer) + " refused the C-GET of " + what +
                        ": it aborted the association instead of sending (is C-GET allowed for "
                        "the AE title " +
                        peer.callingAeTitle + "?)");
        if (c.bad())
            return fail("the PACS " + Where(peer) + " stopped in the transfer of " + what + ": " +
                        c.text());
        if (!scu.m_strStoreError.empty())
            return fail(scu.m_strStoreError);
        if (all)
            continue; // what it did not send is asked for study by study
        if (!answered)
            return fail("the PACS " + Where(peer) + " did not finish the C-GET of " + what);
        if (scu.m_Files.size() == had)
            return fail("the PACS " + Where(peer) + " refused the C-GET of " + what + " (" +
                        StatusText(final) + ")");
    }
    scu.releaseAssociation();
    *files = scu.m_Files;
    return true;
}

std::string WriteStudyList(const std::vector<CPacsStudy>& studies) {
    std::string out = "velmora studies 1\n";
    for (const CPacsStudy& s : studies) {
        for (const std::string* f :
             {&s.m_strStudyUid, &s.m_strDate, &s.m_strTime, &s.m_strPatientName, &s.m_strPatientId,
              &s.m_strBirthDate, &s.m_strSex, &s.m_strAccession})
            out += EscapeField(*f) + '\t';
        out += std::to_string(s.m_nEcgInstances) + '\n';
    }
    return out;
}
