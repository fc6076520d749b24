// The PACS job as the window uses it: it refuses what a save to .dcm refuses, in the same words;
// no step waits on the caller's thread, even for a helper that never reads the record; the
// helper's reasons reach the caller. (What arrives in a real PACS: tests/interchange/pacs_test.py.)

#include "record_io/record_files.h"
#include "record_io/record_pacs.h"
#include "record_io/records_test_support.h"
#include "support/orthanc.h" // FreePort

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace {

void EnsureCoreApp() {
    static int argc = 1;
    static char name[] = "pacs_job_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

CViewSettings PacsAt(int port, int timeout = 10) {
    CViewSettings s;
    s.m_szPacsHost = QStringLiteral("127.0.0.1");
    s.m_nPacsPort = port;
    s.m_nPacsTimeout = timeout;
    return s;
}

// The helper replaced for one test by what VELMORA_INTERCHANGE names.
struct CHelperOverride {
    explicit CHelperOverride(const QString& path) {
        setenv("VELMORA_INTERCHANGE", QFile::encodeName(path).constData(), 1);
    }
    ~CHelperOverride() { unsetenv("VELMORA_INTERCHANGE"); }
};

} // namespace

TEST(PacsJob, RefusesAsASaveDoesNeverWaitsAndPassesOnTheHelpersReason) {
    EnsureCoreApp();
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    // Nobody listens there; a refusal that names the file was made before connecting.
    const CViewSettings nowhere = PacsAt(testing_pacs::FreePort());

    // A card a save refuses is refused alike, before anything starts.
    PATIENT_CARD unborn = card;
    unborn.birth_year = 2030; // the record is of 2026
    std::string saveError, storeError;
    const QString dcm = dir.filePath(QStringLiteral("x.dcm"));
    EXPECT_FALSE(SaveRecordFile(dcm, *RecordFileTypeOf(dcm), *record, &unborn, &saveError));
    CPacsJob job;
    EXPECT_FALSE(job.StartStore(nowhere, *record, unborn, &storeError));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(storeError.empty());
    EXPECT_EQ(storeError, saveError);

    QString finished;
    int finishedCount = 0;
    QObject::connect(&job, &CPacsJob::Finished, [&](bool, const QString& reason) {
        finished = reason;
        ++finishedCount;
    });
    std::string error;
    const QString noise = dir.filePath(QStringLiteral("noise.dcm"));
    {
        QFile f(noise);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, 'x'));
    }
    ASSERT_TRUE(job.StartStoreFile(nowhere, noise, &error)) << error;
    EXPECT_FALSE(job.Wait(&error));
    EXPECT_NE(error.find("no DICOM file"), std::string::npos) << error;
    EXPECT_NE(error.find(noise.toStdString()), std::string::npos) << error;
    EXPECT_EQ(finished.toStdString(), error);

    // A helper that never reads its input: the record (more than a pipe holds) must not be
    // written by waiting, or StartStore would hang until the helper ends.
    const QString stuck = dir.filePath(QStringLiteral("never-reads"));
    {
        QFile f(stuck);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexec sleep 600\n");
    }
    QFile::setPermissions(stuck, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CHelperOverride helper(stuck);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(job.StartStore(PacsAt(testing_pacs::FreePort(), 600), *record, card, &error))
        << error;
    EXPECT_LT(t.elapsed(), 2000) << "StartStore waited for the helper";
    EXPECT_TRUE(job.IsRunning());
    job.Cancel();
    EXPECT_FALSE(job.Wait(&error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(finished, QStringLiteral("cancelled"));
    EXPECT_EQ(finishedCount, 2);
    EXPECT_LT(t.elapsed(), 5000);
}

TEST(PacsJob, RefusesACardWithoutTheSurnameBeforeAnythingStarts) {
    EnsureCoreApp();
    const auto record = MakeRecord();
    PATIENT_CARD card = MakeCard();
    std::memset(card.last_name, 0, sizeof card.last_name);
    std::memcpy(card.last_name, "   ", 3); // blanks are no name
    // A helper that would record its start: it must never run.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString helperPath = dir.filePath(QStringLiteral("helper"));
    {
        QFile f(helperPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\ntouch '" + marker.toStdString() + "'\n").c_str());
    }
    QFile::setPermissions(helperPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CHelperOverride helper(helperPath);
    CPacsJob job;
    std::string error;
    EXPECT_FALSE(job.StartStore(PacsAt(testing_pacs::FreePort()), *record, card, &error));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(error, "В карточке нет фамилии пациента: запись без имени в PACS не отправляется");
    EXPECT_EQ(PacsCardFault(card), error);
    EXPECT_FALSE(QFile::exists(marker));
    // The same record with a surname goes (as far as the helper).
    EXPECT_EQ(PacsCardFault(MakeCard()), "");
    // A save to .dcm takes a card without a name: only the archive needs one.
    std::string saveError;
    const QString dcmPath = dir.filePath(QStringLiteral("x.dcm"));
    CPreparedRecord prepared;
    EXPECT_TRUE(
        PrepareRecordForType(*RecordFileTypeOf(dcmPath), *record, &card, prepared, &saveError))
        << saveError;
}

// The report beside the ECG is drawn off the caller's thread, before the helper starts: the job
// runs meanwhile, a cancel ends it at once and nothing starts after the drawing, a drawing that
// fails ends the job with its reason, and a drawn report reaches the helper after the
// statements, whole.
TEST(PacsJob, TheReportIsDrawnOffTheCallersThreadAndGoesAfterTheStatements) {
    EnsureCoreApp();
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    // A helper that keeps its input and says it stored two instances.
    const QString input = dir.filePath(QStringLiteral("input"));
    const QString keeper = dir.filePath(QStringLiteral("keeper"));
    {
        QFile f(keeper);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\ncat > '" + QFile::encodeName(input) + "'\necho 1.2.3\necho 1.2.4\n");
    }
    QFile::setPermissions(keeper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CHelperOverride helper(keeper);
    const Qt::HANDLE caller = QThread::currentThreadId();

    std::atomic<bool> release{false};
    std::atomic<bool> otherThread{false};
    CStatementSettings how;
    how.m_MakeReportPdf = [&](const ECG_RECORD&, const PATIENT_CARD&, std::vector<uint8_t>& pdf,
                              std::string*) {
        otherThread = QThread::currentThreadId() != caller;
        while (!release) // held until the test has seen the job run
            QThread::yieldCurrentThread();
        const char kPdf[] = "%PDF-1.7\nthe page\n%%EOF\n";
        pdf.assign(kPdf, kPdf + sizeof kPdf - 1);
        return true;
    };
    CPacsJob job;
    std::string error;
    ASSERT_TRUE(job.StartStore(PacsAt(104), *record, card, &error, how)) << error;
    EXPECT_TRUE(job.IsRunning()) << "the job runs while the report is drawn";
    job.Cancel();
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(job.Wait(&error));
    EXPECT_EQ(error, "cancelled");
    release = true; // the abandoned drawing runs out; the next one is not held

    ASSERT_TRUE(job.StartStore(PacsAt(104), *record, card, &error, how)) << error;
    ASSERT_TRUE(job.Wait(&error)) << error;
    EXPECT_TRUE(otherThread) << "the report was drawn on the caller's thread";
    EXPECT_EQ(job.StoredInstance(), QStringLiteral("1.2.3"));
    EXPECT_EQ(job.StoredReportInstance(), QStringLiteral("1.2.4"));
    QFile in(input);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray sent = in.readAll();
    EXPECT_TRUE(sent.endsWith("velmora-report-pdf 24\n%PDF-1.7\nthe page\n%%EOF\n"))
        << sent.right(80).toStdString();
    EXPECT_GT(sent.indexOf("velmora-statements 1 "), 0) << "the statements come before it";

    how.m_MakeReportPdf = [](const ECG_RECORD&, const PATIENT_CARD&, std::vector<uint8_t>&,
                             std::string* why) {
        *why = "no fonts";
        return false;
    };
    QFile::remove(input);
    ASSERT_TRUE(job.StartStore(PacsAt(104), *record, card, &error, how)) << error;
    EXPECT_FALSE(job.Wait(&error));
    EXPECT_NE(error.find("no fonts"), std::string::npos) << error;
    EXPECT_FALSE(QFile::exists(input)) << "the helper never started";
}
