#include "cli/record_output.h"

#include "cli/cli_common.h"
#include "record_io/record_files.h"
#include "record_io/record_worklist.h"
#include "storage/card_file.h"

#include <QFile>
#include <cstdio>
#include <string>

namespace {

std::string TypeList() {
    std::string list;
    for (const RecordFileType& t : RecordFileTypes())
        if (t.write)
            list +=
                std::string(list.empty() ? "" : " or ") + t.extension + " (" + t.description + ")";
    return list;
}

} // namespace

const char* RecordOutputTypesHelp() {
    static const std::string help = [] {
        std::string text;
        for (const RecordFileType& t : RecordFileTypes())
            if (t.write)
                text +=
                    std::string("                 ") + t.extension + "  " + t.description + "\n";
        return text;
    }();
    return help.c_str();
}

int PrepareRecordOutput(const char* command, const QString& outPath, const QString& cardPath,
                        CRecordOutput* output, const PATIENT_CARD* fileCard,
                        const CWorklistEntry* ordered) {
    // The order's patient is the one the record was made of: it fills the card it comes with.
    PATIENT_CARD orderedCard{};
    if (ordered) {
        output->m_Order = ordered->m_Order;
        if (fileCard)
            orderedCard = *fileCard;
        else
            orderedCard.sex = kSexNotGiven;
        ApplyWorklistPatient(*ordered, orderedCard);
        fileCard = &orderedCard;
    }
    if (outPath.isEmpty()) {
        Message(command, "--out FILE is required");
        return 1;
    }
    output->m_strPath = outPath;
    output->m_pType = RecordFileTypeOf(outPath);
    if (!output->m_pType || !output->m_pType->write) {
        Message(command,
                "unsupported output type '" + outPath.toStdString() + "': use " + TypeList());
        return 1;
    }
    output->m_bHasCard = !cardPath.isEmpty();
    std::string cardName = "the card " + cardPath.toStdString();
    if (!output->m_bHasCard) {
        if (!output->m_pType->bNeedsCard) {
            if (output->m_pType->bCarriesCard && fileCard) {
                output->m_bHasCard = true;
                output->m_Card = *fileCard;
            }
            return 0;
        }
        if (!fileCard) {
            Message(command, std::string("a ") + output->m_pType->extension +
                                 " file needs the patient card: give --card CARD");
            return 1;
        }
        output->m_bHasCard = true;
        output->m_Card = *fileCard;
        cardName = "the record's own card (give --card CARD)";
    } else {
        std::string error;
        if (!LoadCardFile(QFile::encodeName(cardPath).toStdString(), &output->m_Card, &error)) {
            Message(command, error);
            return QFile::exists(cardPath) ? 1 : 2;
        }
        if (ordered)
            ApplyWorklistPatient(*ordered, output->m_Card);
    }
    const std::vector<std::string> missing = MissingForType(*output->m_pType, output->m_Card);
    if (!missing.empty()) {
        const std::string names = JoinFieldNames(missing);
        Message(command, cardName + " is incomplete for a " + output->m_pType->extension +
                             " file: missing " + names);
        return 1;
    }
    return 0;
}

bool SaveRecordOutput(const char* command, const CRecordOutput& output, const ECG_RECORD& record,
                      const CStatementSettings* how) {
    std::string error;
    CStatementSettings settings = how ? *how : CStatementSettings{};
    if (output.m_Order.Bound())
        settings.m_Order = output.m_Order;
    if (!SaveRecordFile(output.m_strPath, *output.m_pType, record,
                        output.m_bHasCard ? &output.m_Card : nullptr, &error, settings)) {
        Message(command, error);
        return false;
    }
    std::fprintf(stderr, "velmora-cli %s: record %s written to %s\n", command,
                 PrintableText(record.date, sizeof record.date).c_str(),
                 PrintableName(output.m_strPath).toUtf8().constData());
    return true;
}
