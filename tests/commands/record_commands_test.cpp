// The record commands on a document alone: no view, nothing painted. Saves propose the record's
// name, write the type chosen and report what failed; the window and velmora-cli write the same
// files and print the same report of one reading; the report's options are asked first and
// remembered.

#include "commands/record_commands.h"
#include "config/app_profile.h"
#include "record_io/records_test_support.h"
#include "report/report_settings.h"
#include "storage/package_reader.h"
#include "support/fake_prompts.h"
#include "support/gui_app.h"
#include "support/run_until.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

constexpr char kCli[] = VELMORA_BUILD_DIR "/src/cli/velmora-cli";

// What velmora-cli says on stderr when it fails, for the assertion's message.
QByteArray RunCli(const QStringList& args, int* code) {
    QProcess p;
    p.start(QString::fromLatin1(kCli), args);
    if (!p.waitForFinished(60000)) {
        *code = -1;
        return "velmora-cli did not finish";
    }
    *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardError();
}

// The text of a PDF, as a reader would extract it.
QString PdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct Commands : testing::Test {
    Commands() : document(state), commands(document, settings, nullptr) {
        EnsureApp();
        commands.SetPrompts(&prompts);
        // A received record with a complete card, as the window has it after the card dialog.
        CLoadedRecord loaded;
        loaded.pRecord = MakeRecord();
        loaded.card = MakeCard();
        const QString dat = dir.filePath(QStringLiteral("plain.dat"));
        std::string error;
        EXPECT_TRUE(SaveRecordFile(dat, *RecordFileTypeOf(dat), *loaded.pRecord, nullptr, &error))
            << error;
        document.Take(loaded, dat);
    }
    QTemporaryDir dir;
    CSessionState state;
    CEcgDocument document;
    CViewSettings settings;
    CRecordCommands commands;
    CFakePrompts prompts;
};

// The patient and the moment of recording: two records of one cardiograph never share it.
const QString kProposedName = QStringLiteral("Иванов-Щукин И.И. 2026-12-08 23-18-57");

TEST_F(Commands, SavesProposeTheRecordNameWriteTheTypeChosenAndSayWhatFailed) {
    QSignalSpy started(&commands, &CRecordCommands::Started);
    QSignalSpy processing(&commands, &CRecordCommands::Processing);
    QSignalSpy failed(&commands, &CRecordCommands::Failed);
    QSignalSpy file(&document, &CEcgDocument::FileChanged);
    QString proposed, offered, target;
    prompts.savePath = [&](const QString& path, const QString& filter) {
        proposed = path;
        offered = filter;
        return target;
    };

    // The package's dialog offers the hospital's formats too; the name chosen decides.
    target = dir.filePath(QStringLiteral("chosen.dcm"));
    commands.OnExport();
    ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
    EXPECT_EQ(QFileInfo(proposed).fileName(), kProposedName + QStringLiteral(".ecg"));
    EXPECT_EQ(QFileInfo(proposed).absolutePath().toStdString(),
              QDir(CRecordCommands::RecordFolder()).absolutePath().toStdString());
    for (const char* type :
         {"Пакеты экспорта (*.ecg)", "DICOM ЭКГ (*.dcm)", "HL7 aECG (*.xml)", "EDF+ (*.edf)"})
        EXPECT_TRUE(offered.contains(QString::fromUtf8(type))) << type;
    EXPECT_EQ(Bytes(target).mid(128, 4), QByteArray("DICM")) << "written as DICOM";
    EXPECT_EQ(document.FilePath(), target);
    EXPECT_EQ(document.FileTitle(), QStringLiteral("chosen.dcm"));
    EXPECT_EQ(file.size(), 1);
    ASSERT_EQ(processing.size(), 2) << "\"Обработка данных\" while the file is written";
    EXPECT_TRUE(processing[0][0].toBool());
    EXPECT_FALSE(processing[1][0].toBool());

    // The SCP dialog offers SCP only: whatever the name, an SCP-ECG file is written.
    target = dir.filePath(QStringLiteral("record.scp"));
    commands.OnExportScp();
    ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
    EXPECT_FALSE(offered.contains(QStringLiteral("DICOM")));
    EXPECT_EQ(QFileInfo(proposed).fileName(), kProposedName + QStringLiteral(".scp"));
    EXPECT_GT(QFileInfo(target).size(), 4096 * 12);

    // A place that cannot take the file: said at the screen's centre; the document keeps its
    // file and title.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    target = dir.filePath(QStringLiteral("plain/x.ecg"));
    commands.OnExport();
    ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][1].value<FailurePlace>(), FailurePlace::ScreenCentre);
    EXPECT_FALSE(failed[0][0].toString().isEmpty());
    EXPECT_EQ(document.FileTitle(), QStringLiteral("record.scp"));

    // A cancelled dialog writes nothing and says nothing; every command said it started.
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    target.clear();
    commands.OnExport();
    ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
    EXPECT_EQ(failed.size(), 1);
    EXPECT_EQ(started.size(), 4);
    EXPECT_EQ(processing.size(), 6) << "no processing without a file to write";
}

// A record bound to a worklist order writes the order into its DICOM file; a new reception keeps
// the binding (the order is chosen before the ECG), another file opened in the window drops it.
TEST_F(Commands, ABoundRecordSavesItsOrderAndKeepsItOverANewReception) {
    CRecordOrder order;
    order.m_strAccession = "ACC-5150";
    order.m_strStudyUid = "1.2.826.0.1.3680043.10.1234.5150";
    order.m_strRequestedProcedureId = "RP-5150";
    order.m_strScheduledStepId = "SPS-5150";
    QSignalSpy bound(&document, &CEcgDocument::OrderChanged);
    document.BindOrder(order);
    EXPECT_EQ(bound.size(), 1);
    EXPECT_EQ(document.WhatIsUnkept(), CEcgDocument::Unkept::Card) << "a binding is to be saved";
    const QString target = dir.filePath(QStringLiteral("bound.dcm"));
    prompts.savePath = [&](const QString&, const QString&) { return target; };
    commands.OnExport();
    ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
    const QByteArray bytes = Bytes(target);
    for (const std::string* value : {&order.m_strAccession, &order.m_strStudyUid,
                                     &order.m_strRequestedProcedureId, &order.m_strScheduledStepId})
        EXPECT_TRUE(bytes.contains(QByteArray::fromStdString(*value))) << *value;

    document.ReceptionStarted();
    EXPECT_EQ(document.Order(), order);
    CLoadedRecord other;
    other.pRecord = MakeRecord();
    document.Take(other, dir.filePath(QStringLiteral("other.dat")));
    EXPECT_FALSE(document.Order().Bound());
}

// The window's save commands and velmora-cli export write the same files for one record and
// one card: both go through the records layer.
TEST_F(Commands, TheWindowAndTheCommandLineWriteTheSameFiles) {
    const QString dat = document.FilePath();
    const QString cardFile = dir.filePath(QStringLiteral("card.txt"));
    {
        QFile f(cardFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("doctor_name = Петров П.П.\ndoctor_phone = +7 495 123-45-67\n"
                "last_name = Иванов-Щукин\nfirst_name = Иван\npatronymic = Иванович\n"
                "birth_day = 29\nbirth_month = 2\nbirth_year = 1952\nsex = м\nheight = 180\n"
                "weight = 82\npostal_code = 123456\nregion = Московская обл.\n"
                "district = Одинцовский р-н\nlocality = Звенигород\nstreet = ул. Ленина\n"
                "house = д. 5, кв. 7\nyears_of_residence = 12\n");
    }
    QString target;
    prompts.savePath = [&](const QString&, const QString&) { return target; };
    for (const char* ext : {".scp", ".ecg", ".dcm"}) {
        SCOPED_TRACE(ext);
        target = dir.filePath(QStringLiteral("window") + QLatin1String(ext));
        if (std::strcmp(ext, ".scp") == 0)
            commands.OnExportScp();
        else
            commands.OnExport();
        ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }));
        const QString cli = dir.filePath(QStringLiteral("cli") + QLatin1String(ext));
        int code = 0;
        const QByteArray err = RunCli({QStringLiteral("export"), dat, QStringLiteral("--card"),
                                       cardFile, QStringLiteral("--out"), cli},
                                      &code);
        ASSERT_EQ(code, 0) << err.toStdString();
        const QByteArray a = Bytes(target), b = Bytes(cli);
        ASSERT_FALSE(a.isEmpty());
        if (std::strcmp(ext, ".ecg") != 0) {
            EXPECT_EQ(a, b);
            continue;
        }
        // A zip's entries carry the time they were written: compare what they hold.
        auto ra = std::make_unique<ECG_RECORD>(), rb = std::make_unique<ECG_RECORD>();
        RECORD_DEFINITION da{}, db{};
        std::string error;
        ASSERT_TRUE(ReadExportPackage(reinterpret_cast<const uint8_t*>(a.constData()),
                                      size_t(a.size()), *ra, da, &error))
            << error;
        ASSERT_TRUE(ReadExportPackage(reinterpret_cast<const uint8_t*>(b.constData()),
                                      size_t(b.size()), *rb, db, &error))
            << error;
        EXPECT_EQ(std::memcmp(ra.get(), rb.get(), sizeof(ECG_RECORD)), 0);
        EXPECT_EQ(std::memcmp(&da, &db, sizeof da), 0);
    }
}

// The report: the options asked first and remembered, then a PDF file, the printer (here a PDF
// device: the same path a real printer takes) and the preview; a PDF that cannot be written is
// said and leaves nothing.
TEST_F(Commands, TheReportIsPrintedPreviewedAndSavedAsPdfWithTheOptionsAskedFirst) {
    const auto isPdf = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-" && f.size() > 20000;
    };
    QString proposed;
    prompts.savePath = [&](const QString& p, const QString&) {
        proposed = p;
        return dir.filePath(QStringLiteral("report.pdf"));
    };
    commands.OnSavePdf(); // the options cancelled: nothing happens
    EXPECT_TRUE(proposed.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("report.pdf"))));

    ReportOptions seen;
    prompts.reportOptions = [&](ReportOptions& o) {
        seen = o;
        o = {ReportLayout::Leads6x2, 50, 20, ReportPaper::Letter};
        return true;
    };
    commands.OnSavePdf();
    EXPECT_TRUE(isPdf(dir.filePath(QStringLiteral("report.pdf"))));
    EXPECT_EQ(QFileInfo(proposed).fileName(), kProposedName + QStringLiteral(".pdf"));
    EXPECT_EQ(seen.layout, ReportLayout::Leads3x4Rhythm1) << "the defaults first";
    const ReportOptions kept = LoadReportOptions(CAppProfile());
    EXPECT_EQ(kept.layout, ReportLayout::Leads6x2) << "the choice is remembered";
    EXPECT_EQ(kept.speedMmPerS, 50);
    EXPECT_EQ(kept.gainMmPerMv, 20);
    EXPECT_EQ(kept.paper, ReportPaper::Letter);

    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    QSizeF paper;
    prompts.printDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        paper = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
        return true;
    };
    commands.OnPrint();
    EXPECT_EQ(seen.layout, ReportLayout::Leads6x2) << "the last choice comes back";
    EXPECT_TRUE(isPdf(printed));
    EXPECT_NEAR(paper.width(), 279.4, 0.5) << "Letter, landscape";
    EXPECT_NEAR(paper.height(), 215.9, 0.5);

    const QString previewed = dir.filePath(QStringLiteral("preview.pdf"));
    prompts.printPreview = [&](QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(previewed);
        paint(&printer);
    };
    commands.OnPrintPreview();
    EXPECT_TRUE(isPdf(previewed));

    QSignalSpy failed(&commands, &CRecordCommands::Failed);
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("missing/report.pdf"));
    };
    commands.OnSavePdf();
    EXPECT_EQ(failed.size(), 1);
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("missing"))).exists());
}

// Read through filters, a record prints the same measurements from the window and from
// velmora-cli report --filter, and they are the filtered reading's, not the raw record's.
TEST_F(Commands, TheWindowAndTheCommandLinePrintTheSameReportOfOneReading) {
    if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) < 0)
        GTEST_SKIP() << "pdftotext is not installed: skipped";
    const std::vector<analysis::Filter> filters = {analysis::Filter::Baseline067,
                                                   analysis::Filter::Muscle35};
    document.SetFilters(filters);
    // The card velmora-cli finds in the file, so that only the reading could differ.
    CLoadedRecord asFiled;
    std::string error;
    ASSERT_TRUE(OpenRecordFile(document.FilePath(), asFiled, &error)) << error;
    document.Card() = asFiled.card;
    prompts.reportOptions = [](ReportOptions& o) {
        o = {};
        return true;
    };
    const QString window = dir.filePath(QStringLiteral("window.pdf"));
    prompts.savePath = [&](const QString&, const QString&) { return window; };
    commands.OnSavePdf();
    const QString cli = dir.filePath(QStringLiteral("cli.pdf")),
                  raw = dir.filePath(QStringLiteral("raw.pdf"));
    int code = 0;
    QByteArray err =
        RunCli({QStringLiteral("report"), document.FilePath(), QStringLiteral("--filter"),
                QStringLiteral("baseline067"), QStringLiteral("--filter"),
                QStringLiteral("muscle35"), QStringLiteral("--out"), cli},
               &code);
    ASSERT_EQ(code, 0) << err.toStdString();
    err = RunCli({QStringLiteral("report"), document.FilePath(), QStringLiteral("--out"), raw},
                 &code);
    ASSERT_EQ(code, 0) << err.toStdString();
    const QString fromWindow = PdfText(window), fromCli = PdfText(cli), unfiltered = PdfText(raw);
    ASSERT_FALSE(fromWindow.isEmpty());
    EXPECT_EQ(fromWindow.toStdString(), fromCli.toStdString());
    EXPECT_TRUE(fromCli.contains(QStringLiteral("0.67-35 Гц"))) << fromCli.toStdString();
    EXPECT_NE(fromCli, unfiltered) << "the footer names the filters the page was read through";
}

} // namespace
