// The PACS job as the window uses it: a record stored in one helper run is the object a save to
// .dcm writes, and the job refuses what such a save refuses, with the same words; a DICOM file
// goes as it stands; no step waits on the caller's thread, even for a helper that never reads
// the record; the helper's reasons reach the caller.

#include "record_io/record_files.h"
#include "record_io/record_pacs.h"
#include "record_io/records_test_support.h"
#include "support/orthanc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
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

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The helper replaced for one test by what VELMORA_INTERCHANGE names.
struct CHelperOverride {
    explicit CHelperOverride(const QString& path) {
        setenv("VELMORA_INTERCHANGE", QFile::encodeName(path).constData(), 1);
    }
    ~CHelperOverride() { unsetenv("VELMORA_INTERCHANGE"); }
};

} // namespace

TEST(PacsJob, StoresWhatASaveToDcmWritesAndAFileAsItStands) {
    EnsureCoreApp();
    if (testing_pacs::COrthanc::Program().isEmpty())
        GTEST_SKIP() << "Orthanc is not installed: skipped";
    testing_pacs::COrthanc pacs;
    ASSERT_TRUE(pacs.Start());
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    const CViewSettings settings = PacsAt(pacs.DicomPort());

    CPacsJob job;
    std::string error;
    ASSERT_TRUE(job.StartStore(settings, *record, card, &error)) << error;
    ASSERT_TRUE(job.Wait(&error)) << error;
    EXPECT_EQ(pacs.StoredFiles(), 1);
    // The instance UID comes from the samples and the card's texts as the preparation leaves
    // them: the file a save writes names the same one only if both prepared alike.
    const QString saved = dir.filePath(QStringLiteral("rec.dcm"));
    ASSERT_TRUE(SaveRecordFile(saved, *RecordFileTypeOf(saved), *record, &card, &error)) << error;
    ASSERT_TRUE(job.StoredInstance().startsWith(QStringLiteral("2.25.")))
        << job.StoredInstance().toStdString();
    EXPECT_TRUE(Bytes(saved).contains(job.StoredInstance().toLatin1()));

    // A file as it stands: its own instance, so the archive still keeps one.
    ASSERT_TRUE(job.StartStoreFile(settings, saved, &error)) << error;
    ASSERT_TRUE(job.Wait(&error)) << error;
    EXPECT_TRUE(Bytes(saved).contains(job.StoredInstance().toLatin1()));
    EXPECT_EQ(pacs.StoredFiles(), 1);

    // A card a save refuses is refused alike, before anything starts.
    PATIENT_CARD unborn = card;
    unborn.birth_year = 2030; // the record is of 2026
    std::string saveError, storeError;
    EXPECT_FALSE(SaveRecordFile(dir.filePath(QStringLiteral("x.dcm")), *RecordFileTypeOf(saved),
                                *record, &unborn, &saveError));
    EXPECT_FALSE(job.StartStore(settings, *record, unborn, &storeError));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(storeError.empty());
    EXPECT_EQ(storeError, saveError);
}

TEST(PacsJob, NoStepWaitsOnTheCallerAndTheHelpersReasonArrives) {
    EnsureCoreApp();
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    // Nobody listens there; a refusal that names the file was made before connecting.
    const CViewSettings nowhere = PacsAt(testing_pacs::FreePort());

    CPacsJob job;
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
