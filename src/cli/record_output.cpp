#include "cli/record_output.h"

#include "cli/cli_common.h"

#include "storage/card_fields.h"
#include "storage/card_file.h"
#include "storage/export_import_file.h"
#include "storage/record_definition.h"
#include "storage/scp_export.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The record block whole or not at all.
bool WriteDat(const QString& path, const ECG_RECORD& record, const PATIENT_CARD*,
              const RECORD_DEFINITION*, std::string* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(&record), sizeof record) !=
            qint64(sizeof record) ||
        !file.commit()) {
        *error = "cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

bool WriteEcg(const QString& path, const ECG_RECORD& record, const PATIENT_CARD*,
              const RECORD_DEFINITION* def, std::string* error) {
    CExportImportFile file;
    if (!file.ExportRecord(*def, record, QFile::encodeName(path).toStdString())) {
        *error = file.LastErrorText();
        return false;
    }
    return true;
}

// The device values an SCP file needs, from a record read back: the lead system of its info
// block and the recording time of its date text.
ScpDeviceValues DeviceValuesOf(const ECG_RECORD& record) {
    ScpDeviceValues v;
    v.m_nLeadSystem = int(ReadRecordInfo(record.curves_buf).leadSystem);
    char date[sizeof record.date + 1] = {};
    std::memcpy(date, record.date, sizeof record.date);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (std::sscanf(date, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &sec) >= 3) {
        v.m_stDevice.wYear = uint16_t(y);
        v.m_stDevice.wMonth = uint16_t(mo);
        v.m_stDevice.wDay = uint16_t(d);
        v.m_stDevice.wHour = uint16_t(h);
        v.m_stDevice.wMinute = uint16_t(mi);
        v.m_stDevice.wSecond = uint16_t(sec);
    }
    return v;
}

bool WriteScp(const QString& path, const ECG_RECORD& record, const PATIENT_CARD* card,
              const RECORD_DEFINITION*, std::string* error) {
    const ScpSaveResult r =
        SaveScp(record, *card, DeviceValuesOf(record), QFile::encodeName(path).toStdString());
    if (!r.bOk)
        *error = r.strError;
    return r.bOk;
}

} // namespace

struct RecordOutputType {
    const char* extension;
    const char* description;
    bool needsCard;
    CardUse use; // what the card must be complete for
    // card and def are null without a card; the record holds the card's texts already.
    bool (*write)(const QString& path, const ECG_RECORD& record, const PATIENT_CARD* card,
                  const RECORD_DEFINITION* def, std::string* error);
};

namespace {

const RecordOutputType kTypes[] = {
    {".dat", "the 112552-byte record block", false, CardUse::Export, WriteDat},
    {".ecg", "the export package; needs --card", true, CardUse::Export, WriteEcg},
    {".scp", "an SCP-ECG file; needs --card", true, CardUse::Scp, WriteScp},
};

std::string TypeList() {
    std::string list;
    for (const RecordOutputType& t : kTypes)
        list += std::string(list.empty() ? "" : " or ") + t.extension + " (" + t.description + ")";
    return list;
}

} // namespace

const char* RecordOutputTypesHelp() {
    static const std::string help = [] {
        std::string text;
        for (const RecordOutputType& t : kTypes)
            text += std::string("                 ") + t.extension + "  " + t.description + "\n";
        return text;
    }();
    return help.c_str();
}

int PrepareRecordOutput(const char* command, const QString& outPath, const QString& cardPath,
                        CRecordOutput* output) {
    if (outPath.isEmpty()) {
        Message(command, "--out FILE is required");
        return 1;
    }
    output->m_strPath = outPath;
    output->m_pType = nullptr;
    for (const RecordOutputType& t : kTypes) {
        if (outPath.endsWith(QLatin1String(t.extension), Qt::CaseInsensitive))
            output->m_pType = &t;
    }
    if (!output->m_pType) {
        Message(command,
                "unsupported output type '" + outPath.toStdString() + "': use " + TypeList());
        return 1;
    }
    output->m_bHasCard = !cardPath.isEmpty();
    if (!output->m_bHasCard) {
        if (output->m_pType->needsCard) {
            Message(command, std::string("a ") + output->m_pType->extension +
                                 " file needs the patient card: give --card CARD");
            return 1;
        }
        return 0;
    }
    std::string error;
    if (!LoadCardFile(QFile::encodeName(cardPath).toStdString(), &output->m_Card, &error)) {
        Message(command, error);
        return QFile::exists(cardPath) ? 1 : 2;
    }
    if (output->m_pType->needsCard) {
        const std::vector<std::string> missing =
            MissingCardFields(output->m_Card, output->m_pType->use);
        if (!missing.empty()) {
            std::string names;
            for (const std::string& m : missing)
                names += (names.empty() ? "" : ", ") + m;
            Message(command, "the card " + cardPath.toStdString() + " is incomplete for a " +
                                 output->m_pType->extension + " file: missing " + names);
            return 1;
        }
    }
    return 0;
}

bool SaveRecordOutput(const char* command, const CRecordOutput& output, const ECG_RECORD& source) {
    auto record = std::make_unique<ECG_RECORD>(source);
    PATIENT_CARD card = output.m_Card;
    RECORD_DEFINITION def{};
    if (output.m_bHasCard)
        ParseRecordDefinition(card, *record, def); // the card's texts go into source and notes
    std::string error;
    if (!output.m_pType->write(output.m_strPath, *record, output.m_bHasCard ? &card : nullptr,
                               output.m_bHasCard ? &def : nullptr, &error)) {
        Message(command, error);
        return false;
    }
    std::fprintf(stderr, "velmora-cli %s: record %.*s written to %s\n", command,
                 int(strnlen(record->date, sizeof record->date)), record->date,
                 output.m_strPath.toLocal8Bit().constData());
    return true;
}
