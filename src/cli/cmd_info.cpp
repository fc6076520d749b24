// velmora-cli info: what a record file holds, as text or JSON.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "record_io/record_device.h"
#include "storage/card_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kInfoUsage[] =
    "usage: velmora-cli info RECORD [--json]\n"
    "\n"
    "Prints what a record file (any type that opens) holds: its type, the date and time of the\n"
    "record, the device's number and record number, the lead system, the points, and the\n"
    "patient card's fields as far as the file keeps them (named as in a card file). When the\n"
    "file carries its writer's own measurements or interpretation (another cart's), they follow\n"
    "as the file's (JSON: \"from_file\" with \"writer\", the measurements in velmora-cli\n"
    "measure's keys, \"statements\" and \"confirmed\"), never mixed with velmora's own.\n"
    "\n"
    "  --json    one JSON object instead of lines of text\n"
    "\n"
    "exit codes: 0 printed, 1 bad usage, 2 a file that cannot be read or is no record\n";

const char* LeadSystemName(int n) {
    switch (n) {
    case 2:
        return "Nehb (D, A, J)";
    case 3:
        return "Slopak (A1-A4)";
    default:
        return "Einthoven, 12 standard leads";
    }
}

} // namespace

// The card's fields as JSON values: texts as text, numbers as numbers.
QJsonObject CardObject(const PATIENT_CARD& card) {
    QJsonObject o;
    for (const CardField& f : CardFields()) {
        if (f.kind == CardFieldKind::Text)
            o[QLatin1String(f.name)] =
                QString::fromStdString(PrintableText(CardFieldText(card, f), f.size));
        else
            o[QLatin1String(f.name)] = qint64(CardNumber(card, f));
    }
    return o;
}

int RunInfo(const QStringList& args) {
    COptions opts({}, {"json", "help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message("info",
                error.isEmpty() ? std::string("give one record file") : error.toStdString());
        std::fputs(kInfoUsage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kInfoUsage, stdout);
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message("info", "give the record file");
        return 1;
    }
    CLoadedRecord doc;
    const RecordFileType* type = nullptr;
    if (!OpenRecord("info", opts.Positional().first(), &doc, &type))
        return 2;
    const ECG_RECORD& r = *doc.pRecord;
    const RECORD_INFO info = ReadRecordInfo(r.curves_buf);
    const QJsonObject card = CardObject(doc.card);

    QJsonObject o;
    o[QStringLiteral("file")] = opts.Positional().first();
    o[QStringLiteral("type")] = QString::fromLatin1(type->extension + 1);
    o[QStringLiteral("date")] = QString::fromStdString(PrintableText(r.date, sizeof r.date));
    o[QStringLiteral("device")] = RecordNumberText(r);
    o[QStringLiteral("record_number")] = qint64(r.curve_id);
    o[QStringLiteral("lead_system")] = int(info.leadSystem);
    o[QStringLiteral("points")] = int(info.points);
    o[QStringLiteral("card")] = card;
    // The file's writer's own findings, apart from anything velmora measures.
    QJsonObject fromFile;
    if (!doc.fileFindings.Empty() || !doc.fileStatements.m_Statements.empty()) {
        fromFile[QStringLiteral("writer")] = QString::fromStdString(doc.fileFindings.m_strWriter);
        for (const CFileFindingRow& row : FileFindingRows(doc.fileFindings))
            if (row.value != kNotInFile)
                fromFile[QLatin1String(row.key)] = row.value;
        QJsonArray statements;
        for (const std::string& s : doc.fileStatements.m_Statements)
            statements.append(QString::fromStdString(s));
        fromFile[QStringLiteral("statements")] = statements;
        fromFile[QStringLiteral("confirmed")] = doc.fileStatements.m_bConfirmed;
        o[QStringLiteral("from_file")] = fromFile;
    }
    if (opts.Has("json")) {
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    std::printf("file:          %s\n",
                PrintableName(opts.Positional().first()).toUtf8().constData());
    std::printf("type:          %s (%s)\n", type->name, type->extension);
    std::printf("date:          %s\n", PrintableText(r.date, sizeof r.date).c_str());
    std::printf("device:        %s, record %u\n", RecordNumberText(r).toLatin1().constData(),
                unsigned(r.curve_id));
    std::printf("lead system:   %u (%s)\n", unsigned(info.leadSystem),
                LeadSystemName(int(info.leadSystem)));
    std::printf("points:        %u\n", unsigned(info.points));
    for (const CardField& f : CardFields()) {
        const QJsonValue v = card.value(QLatin1String(f.name));
        const QString text = v.isString() ? v.toString() : QString::number(v.toInteger());
        std::printf("%-22s %s\n", (std::string(f.name) + ":").c_str(),
                    PrintableName(text).toUtf8().constData());
    }
    if (!fromFile.isEmpty())
        std::printf("from file:     %s\n", PrintableName(QString::fromStdString(FileFindingsLine(
                                                             doc.fileFindings, doc.fileStatements)))
                                               .toUtf8()
                                               .constData());
    return 0;
}
