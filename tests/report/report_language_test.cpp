// The texts the core gives the window and the printed report follow the interface's language:
// each goes through the translation (velmora-cli loads none and keeps the Russian), and the
// statements and changes, kept in both languages, come in the interface's one. What the files
// keep (the doctor's own words, the card) stays as written.

#include "analysis/comparison.h"
#include "analysis/measurement_table.h"
#include "config/view_settings.h"
#include "platform/ui_language.h"
#include "record_io/record_files.h"
#include "record_io/record_pacs.h"
#include "record_io/record_worklist.h"
#include "record_model/ecg_record.h"
#include "report/comparison_report.h"
#include "report/report_renderer.h"
#include "simulator/cardiograph_simulator.h"
#include "storage/file_findings.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTranslator>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Stands for the English translation: every Russian letter of a source text becomes '#', so that
// a text that did not go through the translator still shows its Russian letters.
class CMaskingTranslator : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override {
        QString t = QString::fromUtf8(source);
        for (QChar& c : t)
            if ((c >= QChar(0x410) && c <= QChar(0x44F)) || c == QChar(0x401) || c == QChar(0x451))
                c = QLatin1Char('#');
        return t;
    }
};

// The English interface for one test, with the masking translator; Russian again after it.
class CEnglishInterface {
public:
    CEnglishInterface() {
        static int argc = 1;
        static char name[] = "report_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        QCoreApplication::installTranslator(&m_translator);
        SetCurrentUiLanguage(UiLanguage::English);
    }
    ~CEnglishInterface() {
        QCoreApplication::removeTranslator(&m_translator);
        SetCurrentUiLanguage(UiLanguage::Russian);
    }

private:
    CMaskingTranslator m_translator;
};

bool HasRussian(const QString& text) {
    static const QRegularExpression russian(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    return text.contains(russian);
}

std::unique_ptr<ECG_RECORD> SimulatedRecord(int rate) {
    SimulatorOptions o;
    o.nHeartRate = rate;
    o.nSeed = 5;
    const CCardiographSimulator sim(o);
    auto rec = std::make_unique<ECG_RECORD>();
    std::memset(rec.get(), 0, sizeof(ECG_RECORD));
    const auto& points = sim.StoredRecord();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = points[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    std::strcpy(rec->date, "2026-12-09 10:15:00");
    rec->device_id = 1234;
    rec->curve_id = 7;
    return rec;
}

PATIENT_CARD LatinCard() {
    PATIENT_CARD c{};
    std::strcpy(c.last_name, "Smith");
    std::strcpy(c.first_name, "John");
    std::strcpy(c.doctor_name, "Petrova");
    c.birth_day = 3;
    c.birth_month = 4;
    c.birth_year = 1960;
    c.sex = 1;
    c.height = 180;
    c.weight = 80;
    return c;
}

void ExpectEnglish(const QStringList& lines) {
    ASSERT_FALSE(lines.isEmpty());
    for (const QString& line : lines)
        EXPECT_FALSE(HasRussian(line)) << line.toStdString();
}

} // namespace

TEST(ReportLanguage, WindowAndReportTextsFollowTheInterfaceLanguage) {
    const auto record = SimulatedRecord(60);
    const PATIENT_CARD card = LatinCard();
    // Russian first, as the program starts and as velmora-cli always prints.
    const ReportInput russian = ReportInputFor(*record, card, 0, QStringLiteral("Clinic"));
    EXPECT_EQ(ReportHeaderLines(russian).value(1), QStringLiteral("Пациент: Smith John"));
    EXPECT_EQ(ReportConclusionLines(russian).value(0),
              QString::fromUtf8(analysis::kUnconfirmedHeading));
    EXPECT_EQ(russian.filters, QStringLiteral("нет"));

    const CEnglishInterface english;
    const ReportInput in = ReportInputFor(*record, card, 0, QStringLiteral("Clinic"));
    EXPECT_EQ(in.filters, QStringLiteral("###"));
    const QStringList header = ReportHeaderLines(in);
    ExpectEnglish(header);
    EXPECT_TRUE(header.join(QLatin1Char('\n')).contains(QStringLiteral("03.04.1960 (")))
        << "the age beside the date of birth";
    // The automatic statements in English under the English heading.
    const QStringList automatic = ReportConclusionLines(in);
    ExpectEnglish(automatic);
    EXPECT_EQ(automatic.value(0), QString::fromUtf8(analysis::kUnconfirmedHeadingEn));
    ASSERT_FALSE(in.interpretation.statements.empty());
    EXPECT_EQ(automatic.value(1),
              QString::fromStdString(in.interpretation.statements.front().textEn));

    // A confirmed, amended reading: its statements in English where they have it, the doctor's
    // own words as written, the time as the files write it.
    ReportInput read = in;
    read.reading.statements = {{"SR", "Синусовый ритм", "Sinus rhythm"}, {"", "Own words", ""}};
    read.reading.conclusion = "Normal ECG";
    read.reading.doctorName = "Petrova A. I.";
    read.reading.confirmedAt = SYSTEMTIME{2026, 12, 0, 9, 10, 5, 0, 0};
    read.reading.version = 2;
    read.reading.amendReason = "typing error";
    const QStringList confirmed = ReportConclusionLines(read);
    ExpectEnglish(confirmed);
    ASSERT_EQ(confirmed.size(), 5);
    EXPECT_EQ(confirmed[0], QStringLiteral("Sinus rhythm"));
    EXPECT_EQ(confirmed[1], QStringLiteral("Own words"));
    EXPECT_TRUE(confirmed[2].endsWith(QStringLiteral(": Normal ECG")));
    EXPECT_TRUE(confirmed[3].endsWith(QStringLiteral(": Petrova A. I., 09.12.2026 10:05")))
        << confirmed[3].toStdString();
    EXPECT_TRUE(confirmed[4].endsWith(QStringLiteral(": typing error")));

    // The window's measurement line, with values and without.
    EXPECT_FALSE(HasRussian(QString::fromStdString(analysis::MeasurementLine(in.measurements))));
    EXPECT_FALSE(HasRussian(QString::fromStdString(analysis::MeasurementLine({}))));

    // A comparison: the changes and the table, and why nothing was compared.
    const auto faster = SimulatedRecord(100);
    const ReportInput now = ReportInputFor(*faster, card, 0, QStringLiteral("Clinic"));
    const analysis::Comparison c = analysis::CompareRecords({in.measurements, in.interpretation},
                                                            {now.measurements, now.interpretation});
    ASSERT_TRUE(c.Has("HR_CHANGE"));
    const QStringList changes = ComparisonChangeLines(c);
    ExpectEnglish(changes);
    EXPECT_TRUE(changes.contains(QString::fromStdString(c.Find("HR_CHANGE")->textEn)));
    for (const ComparisonRow& r : ComparisonRows(c))
        ExpectEnglish({r.name, r.previous, r.current, r.delta});
    const analysis::Comparison none =
        analysis::CompareRecords({}, {now.measurements, now.interpretation});
    ASSERT_EQ(none.notesEn.size(), 1u);
    EXPECT_EQ(ComparisonChangeLines(none).value(1),
              QStringLiteral("(%1)").arg(QString::fromStdString(none.notesEn[0])));

    // What another cart's file says: the program's words translated, the file's as written.
    CFileFindings f;
    f.m_strWriter = "Philips XML";
    f.m_nHeartRate = 72;
    f.m_nQrsAxis = 30;
    CFileStatements said;
    said.m_Statements = {"Sinus rhythm"};
    said.m_bConfirmed = true;
    const QString findings = QString::fromStdString(FileFindingsLine(f, said));
    EXPECT_FALSE(HasRussian(findings)) << findings.toStdString();
    EXPECT_TRUE(findings.contains(QStringLiteral("(Philips XML): ")));
    EXPECT_TRUE(findings.endsWith(QStringLiteral("Sinus rhythm.")));

    // The file dialogs' filters and what keeps the PACS and the worklist from being asked.
    EXPECT_FALSE(HasRussian(OpenDialogFilter())) << OpenDialogFilter().toStdString();
    CViewSettings settings;
    EXPECT_FALSE(PacsSettingsFault(settings).isEmpty());
    EXPECT_FALSE(HasRussian(PacsSettingsFault(settings)));
    settings.m_szPacsHost = QStringLiteral("pacs");
    settings.m_nPacsPort = 0;
    EXPECT_FALSE(HasRussian(PacsSettingsFault(settings)));
    EXPECT_FALSE(HasRussian(WorklistServerFault({})));
    const std::string noName = PacsCardFault(PATIENT_CARD{});
    EXPECT_FALSE(noName.empty());
    EXPECT_FALSE(HasRussian(QString::fromStdString(noName)));
}
