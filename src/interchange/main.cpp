// velmora-interchange: the program's helper for other systems' files and the hospital's archive.
// It runs libbiosig and DCMTK in a process of its own, so that neither a file they misread nor a
// stalled network peer can take a record window with it, and so that the program itself starts
// without loading them. The records layer starts it; it is not meant to be run by hand.
//   velmora-interchange read FILE --reader dicom|biosig [--seconds S]
//                                                    the file's details (storage/file_details)
//                                                    and its signal stream on stdout
//   velmora-interchange dicom OUT.dcm                record block + card + statements
//                                                    (storage/statements_block) on stdin ->
//                                                    DICOM file
//   velmora-interchange echo  PACS-OPTIONS           C-ECHO
//   velmora-interchange store FILE.dcm PACS-OPTIONS  C-STORE of a DICOM ECG file as it stands
//                                                    (its own UIDs); a file the program would
//                                                    not open as an ECG is refused before any
//                                                    association
//   velmora-interchange store-record PACS-OPTIONS    the same on stdin -> the DICOM
//                                                    object built in memory and C-STOREd (what
//                                                    `dicom` would write, with no file); a report
//                                                    block after the statements
//                                                    (storage/statements_block) goes with it as
//                                                    an encapsulated PDF in the same study
//   velmora-interchange worklist PACS-OPTIONS [--date YYYYMMDD]
//                                                    the modality worklist's ECG steps of the
//                                                    day (any day without --date) as the
//                                                    worklist answer (worklist_client.h)
//   velmora-interchange find --patient-id ID PACS-OPTIONS
//                                                    C-FIND of the patient's studies with an
//                                                    ECG: the study list (pacs_query.h) on stdout
//   velmora-interchange get FOLDER STUDY-UID... PACS-OPTIONS
//                                                    C-GET of the studies' ECG waveform objects
//                                                    into FOLDER (INSTANCE-UID.dcm), their paths
//                                                    on stdout, one a line
// PACS-OPTIONS: --host H --port P --called AET --calling AET --timeout S
// ORDER-OPTIONS, after `dicom OUT.dcm` and `store-record`'s PACS-OPTIONS, bind the object to a
// worklist entry: --accession A --study-uid U --procedure-id P --step-id S --procedure TEXT
// The stores print the stored SOP instance UIDs on stdout, one a line (the ECG's first).
// Exit codes: 0 done, 1 bad usage, 2 failure (the reason on stderr, one line).

#include "interchange/biosig_import.h"
#include "interchange/dicom_export.h"
#include "interchange/dicom_import.h"
#include "interchange/pacs_client.h"
#include "interchange/pacs_query.h"
#include "interchange/worklist_client.h"
#include "platform/bounded_file.h"
#include "storage/signal_stream.h"
#include "storage/statements_block.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 2;
}

int Usage() {
    std::fprintf(stderr, "usage: velmora-interchange read FILE --reader dicom|biosig "
                         "[--seconds S] | dicom OUT.dcm | echo PACS-OPTIONS | "
                         "store FILE.dcm PACS-OPTIONS | store-record PACS-OPTIONS | "
                         "worklist PACS-OPTIONS [--date YYYYMMDD] | "
                         "find --patient-id ID PACS-OPTIONS | get FOLDER STUDY-UID... "
                         "PACS-OPTIONS\n");
    return 1;
}

bool ReadAll(std::FILE* f, std::vector<uint8_t>& bytes, size_t limit) {
    uint8_t buf[65536];
    for (;;) {
        const size_t n = std::fread(buf, 1, sizeof buf, f);
        bytes.insert(bytes.end(), buf, buf + n);
        if (bytes.size() > limit)
            return false;
        if (n < sizeof buf)
            return !std::ferror(f);
    }
}

// A DICOM file read whole: far above any ECG object, far below what would hurt.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    return ReadWholeFile(path, size_t(64) << 20, bytes, error);
}

int Read(const std::vector<std::string>& args) {
    if (args.empty())
        return Usage();
    double seconds = 0;
    std::string reader;
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--seconds")
            seconds = std::atof(args[i + 1].c_str());
        else if (args[i] == "--reader" && (args[i + 1] == "dicom" || args[i + 1] == "biosig"))
            reader = args[i + 1];
        else
            return Usage();
    }
    // The caller says which reader: libbiosig given a DICOM object dies on it.
    if (args.size() % 2 == 0 || reader.empty())
        return Usage();
    const bool dicom = reader == "dicom";
    const std::string& path = args[0];
    ForeignEcg ecg;
    CFileDetails details;
    std::string error;
    if (dicom) {
        std::vector<uint8_t> bytes;
        if (!ReadFileBytes(path, bytes, &error))
            return Fail(error);
        if (!ImportDicom(bytes.data(), bytes.size(), seconds, ecg, &error, &details))
            return Fail(error);
    } else if (!ImportWithBiosig(path, seconds, ecg, &error, &details)) {
        return Fail(error);
    }
    const std::string stream = WriteFileDetails(details) + WriteSignalStream(ecg);
    if (std::fwrite(stream.data(), 1, stream.size(), stdout) != stream.size() ||
        std::fflush(stdout) != 0)
        return Fail("cannot write the answer");
    return 0;
}

// The record block, its card and the statements the object carries, whole, from stdin; the
// printed report after them when `reportPdf` is given (none sent: left empty).
bool ReadRecordInput(ECG_RECORD& record, PATIENT_CARD& card, CFileStatements& statements,
                     std::string* error, std::vector<uint8_t>* reportPdf = nullptr) {
    constexpr size_t kFixed = sizeof(ECG_RECORD) + sizeof(PATIENT_CARD);
    std::vector<uint8_t> in;
    size_t used = 0;
    if (!ReadAll(stdin, in, kFixed + (size_t(40) << 20)) || in.size() < kFixed) {
        *error = "the record and card did not arrive whole";
        return false;
    }
    if (!ReadStatementsBlock(in.data() + kFixed, in.size() - kFixed, statements, &used, error))
        return false;
    if (reportPdf && kFixed + used < in.size()) {
        size_t more = 0;
        if (!ReadReportPdfBlock(in.data() + kFixed + used, in.size() - kFixed - used, *reportPdf,
                                &more, error))
            return false;
        used += more;
    }
    if (kFixed + used != in.size()) {
        *error = "the input goes on after the statements";
        return false;
    }
    std::memcpy(&record, in.data(), sizeof(ECG_RECORD));
    std::memcpy(&card, in.data() + sizeof(ECG_RECORD), sizeof card);
    return true;
}

int Dicom(const std::vector<std::string>& args, const CRecordOrder& order) {
    if (args.size() != 1)
        return Usage();
    auto record = std::make_unique<ECG_RECORD>();
    PATIENT_CARD card;
    CFileStatements statements;
    std::string error;
    if (!ReadRecordInput(*record, card, statements, &error))
        return Fail(error);
    if (!WriteDicomEcg(args[0], *record, card, statements, &error, order))
        return Fail(error);
    return 0;
}

int Stored(const std::vector<std::string>& instanceUids) {
    for (const std::string& uid : instanceUids)
        std::printf("%s\n", uid.c_str());
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the answer");
}

bool ParsePacs(const std::vector<std::string>& args, size_t from, PacsPeer& peer) {
    for (size_t i = from; i + 1 < args.size(); i += 2) {
        const std::string& key = args[i];
        const std::string& value = args[i + 1];
        if (key == "--host")
            peer.host = value;
        else if (key == "--port")
            peer.port = std::atoi(value.c_str());
        else if (key == "--called")
            peer.calledAeTitle = value;
        else if (key == "--calling")
            peer.callingAeTitle = value;
        else if (key == "--timeout")
            peer.timeoutSeconds = std::atoi(value.c_str());
        else
            return false;
    }
    return (args.size() - from) % 2 == 0 && !peer.host.empty() && peer.port > 0 &&
           peer.port < 65536;
}

// Takes the order's options out of args (the rest stays for the other parsers); false when one
// has no value.
bool TakeOrder(std::vector<std::string>& args, CRecordOrder& order) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string* field = args[i] == "--accession"      ? &order.m_strAccession
                             : args[i] == "--study-uid"    ? &order.m_strStudyUid
                             : args[i] == "--procedure-id" ? &order.m_strRequestedProcedureId
                             : args[i] == "--step-id"      ? &order.m_strScheduledStepId
                             : args[i] == "--procedure"    ? &order.m_strProcedureDescription
                                                           : nullptr;
        if (!field) {
            rest.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        *field = args[++i];
    }
    args = std::move(rest);
    return true;
}

int Worklist(std::vector<std::string> args) {
    std::string date;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--date") {
            date = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            break;
        }
    PacsPeer peer;
    if (!ParsePacs(args, 0, peer) ||
        (!date.empty() &&
         (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos)))
        return Usage();
    std::vector<CWorklistItem> items;
    std::string error;
    if (!QueryModalityWorklist(peer, date, &items, &error))
        return Fail(error);
    const std::string answer = WorklistAnswerText(items);
    if (std::fwrite(answer.data(), 1, answer.size(), stdout) != answer.size() ||
        std::fflush(stdout) != 0)
        return Fail("cannot write the answer");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "read")
        return Read(args);
    if (command == "worklist")
        return Worklist(args);
    CRecordOrder order;
    if ((command == "dicom" || command == "store-record") && !TakeOrder(args, order))
        return Usage();
    if (command == "dicom")
        return Dicom(args, order);
    std::string error;
    PacsPeer peer;
    if (command == "echo") {
        if (!ParsePacs(args, 0, peer))
            return Usage();
        return EchoPacs(peer, &error) ? 0 : Fail(error);
    }
    std::string instanceUid;
    if (command == "store") {
        if (args.empty() || !ParsePacs(args, 1, peer))
            return Usage();
        std::vector<uint8_t> bytes;
        DcmFileFormat object;
        if (!ReadFileBytes(args[0], bytes, &error) || !LoadStorableDicom(bytes, object, &error))
            return Fail("cannot store " + args[0] + ": " + error);
        return StoreToPacs(peer, object, &instanceUid, &error) ? Stored({instanceUid})
                                                               : Fail(error);
    }
    if (command == "store-record") {
        if (!ParsePacs(args, 0, peer))
            return Usage();
        auto record = std::make_unique<ECG_RECORD>();
        PATIENT_CARD card;
        CFileStatements statements;
        std::vector<uint8_t> pdf;
        if (!ReadRecordInput(*record, card, statements, &error, &pdf))
            return Fail(error);
        DcmFileFormat object, report;
        std::vector<DcmFileFormat*> objects{&object};
        if (!BuildDicomEcg(*record, card, statements, object, &error, order))
            return Fail(error);
        if (!pdf.empty()) {
            if (!BuildEncapsulatedReport(*record, card, statements, pdf, report, &error, order))
                return Fail(error);
            objects.push_back(&report);
        }
        std::vector<std::string> uids;
        return StoreToPacs(peer, objects, &uids, &error) ? Stored(uids) : Fail(error);
    }
    if (command == "find") {
        if (args.size() < 2 || args[0] != "--patient-id" || !ParsePacs(args, 2, peer))
            return Usage();
        std::vector<CPacsStudy> studies;
        if (!FindEcgStudies(peer, args[1], studies, &error))
            return Fail(error);
        const std::string list = WriteStudyList(studies);
        if (std::fwrite(list.data(), 1, list.size(), stdout) != list.size() ||
            std::fflush(stdout) != 0)
            return Fail("cannot write the answer");
        return 0;
    }
    if (command == "get") {
        // The folder, the studies, then the options.
        size_t options = 1;
        while (options < args.size() && args[options].rfind("--", 0) != 0)
            ++options;
        if (options < 2 || !ParsePacs(args, options, peer))
            return Usage();
        std::vector<std::string> files;
        if (!GetEcgStudies(peer, {args.begin() + 1, args.begin() + long(options)}, args[0], &files,
                           &error))
            return Fail(error);
        return Stored(files);
    }
    return Usage();
}
