// Writes the files confirmed_files_test.py checks with other systems' readers: a simulated record
// at 97 beats a minute (a tachycardia by Russian practice, a normal rate by the AHA's) with a
// doctor's confirmed reading and without one, as SCP-ECG, DICOM, HL7 aECG and the report's PDF,
// and as DICOM by either practice; and as FHIR bundles (.json) with the report in them. Beside
// them, statements.json: what the records layer made for each case (RecordStatements), for the
// script to find in the files.
//   confirmed_files_writer OUTDIR

#include "record_io/record_files.h"
#include "record_io/records_test_support.h"
#include "report/report_file.h"
#include "simulator/cardiograph_simulator.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

std::unique_ptr<ECG_RECORD> SimulatedRecord() {
    SimulatorOptions o;
    o.nHeartRate = 97;
    CCardiographSimulator sim(o);
    auto r = MakeRecord();
    const auto& points = sim.StoredRecord();
    for (int p = 0; p < kPoints; ++p)
        for (int l = 0; l < kLeads; ++l)
            Sample(r->curves_buf, p, l) = points[size_t(p)][size_t(l)];
    return r;
}

CDoctorReading Reading() {
    CDoctorReading r;
    // One statement kept from the automatic ones, one the doctor added by its code.
    const analysis::StatementKind* added = analysis::StatementKindOf("CRBBB");
    r.statements = {{"STACH", "Синусовая тахикардия (97 в мин)", "Sinus tachycardia (97/min)"},
                    {added->code, added->russian, added->english}};
    r.conclusion = "Рекомендовано суточное мониторирование ЭКГ.\nКонтроль через 6 месяцев.";
    r.doctorName = "Петрова А. И.";
    r.doctorLogin = "petrova";
    r.doctorPosition = "врач функциональной диагностики";
    r.confirmedAt = SYSTEMTIME{2026, 12, 3, 9, 10, 15, 30, 0};
    r.version = 2;
    r.amendReason = "добавлена блокада ножки";
    return r;
}

QJsonObject Json(const CFileStatements& s) {
    QJsonArray texts, codes;
    for (const std::string& t : s.m_Statements)
        texts.append(QString::fromStdString(t));
    for (const std::string& c : s.m_Codes)
        codes.append(QString::fromStdString(c));
    return QJsonObject{{QStringLiteral("confirmed"), s.m_bConfirmed},
                       {QStringLiteral("heading"), QString::fromStdString(s.m_strHeading)},
                       {QStringLiteral("statements"), texts},
                       {QStringLiteral("codes"), codes},
                       {QStringLiteral("conclusion"), QString::fromStdString(s.m_strConclusion)}};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: confirmed_files_writer OUTDIR\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const auto record = SimulatedRecord();
    const PATIENT_CARD card = MakeCard();
    const CDoctorReading reading = Reading();
    CDoctorReading unconfirmed = reading;
    unconfirmed.version = 0; // read, never confirmed: the automatic statements stand

    CStatementSettings confirmedHow, unconfirmedHow, ahaHow;
    confirmedHow.m_pReading = &reading;
    unconfirmedHow.m_pReading = &unconfirmed;
    ahaHow.m_Settings.practice = analysis::RatePractice::Aha;
    struct Case {
        const char* stem;
        const CStatementSettings* how;
        bool report;
    };
    const Case cases[] = {{"confirmed", &confirmedHow, true},
                          {"unconfirmed", &unconfirmedHow, true},
                          {"aha", &ahaHow, false}};
    QJsonObject made;
    std::string error;
    for (const Case& c : cases) {
        made.insert(QLatin1String(c.stem), Json(RecordStatements(*record, &card, *c.how)));
        CStatementSettings how = *c.how;
        how.m_MakeReportPdf =
            ReportPdfMakerFor(QStringLiteral("ГБУЗ Городская больница № 1"), how, 0);
        for (const char* ext : {".scp", ".dcm", ".xml", ".json"}) {
            const QString path = out.filePath(QLatin1String(c.stem) + QLatin1String(ext));
            if (!SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error, how)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 2;
            }
        }
        if (!c.report)
            continue;
        const ReportInput in =
            ReportInputFor(*record, card, 0, QStringLiteral("ГБУЗ Городская больница № 1"), {},
                           c.how->m_Settings, c.how->m_pReading);
        if (!WriteReportPdf(out.filePath(QLatin1String(c.stem) + QStringLiteral(".pdf")), in,
                            ReportOptions{}, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
    QFile json(out.filePath(QStringLiteral("statements.json")));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(made).toJson()) < 0) {
        std::fprintf(stderr, "cannot write statements.json\n");
        return 2;
    }
    return 0;
}
