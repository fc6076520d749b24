// The zip writer: entry names, stamps, attributes, replacing and keeping files, and faults.

#include "storage/zipper.h"

#include "storage_test_support.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

TEST(Zipper, PathHelpersStripBlanksAndSeparators) {
    std::string a = " /tmp/dir// \t";
    CZipper::UnterminatePath(a);
    EXPECT_EQ(a, " /tmp/dir");
    CZipper::PrepareZipPath(a);
    EXPECT_EQ(a, "tmp/dir");
    std::string b = "/";
    CZipper::PrepareZipPath(b);
    EXPECT_EQ(b, "");
}

TEST(Zipper, EntryNamesFollowTheRootFolderAndNeverLeaveIt) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("d/sub"));
    QDir(dir.path()).mkpath(QStringLiteral("d2"));
    const QString d = dir.filePath(QStringLiteral("d"));
    for (const char* f : {"d/sub/a.txt", "d/sub/b.txt", "d/c.txt", "d2/e.txt", "x.txt"})
        ASSERT_TRUE(WriteBytes(dir.filePath(QString::fromLatin1(f)), f));

    CZipper zip;
    ASSERT_TRUE(zip.OpenZip(Local(d + "/out.zip").c_str())) << zip.LastErrorText();
    EXPECT_TRUE(zip.AddFileToZip(Local(d + "/sub/a.txt").c_str())) << zip.LastErrorText();
    EXPECT_TRUE(zip.AddFileToZip("sub/b.txt")) << "relative to the archive's folder";
    EXPECT_TRUE(zip.AddFileToZip("./c.txt"));
    EXPECT_TRUE(zip.AddFileToZip(Local(d + "/sub/a.txt").c_str(), true));
    EXPECT_FALSE(zip.AddFileToZip("../x.txt"));
    EXPECT_EQ(zip.LastError(), EINVAL);
    EXPECT_FALSE(zip.AddFileToZip("sub/../../x.txt"));
    EXPECT_FALSE(zip.AddFileToZip(Local(dir.filePath(QStringLiteral("x.txt"))).c_str()))
        << "outside the root folder";
    EXPECT_FALSE(zip.AddFileToZip(Local(dir.filePath(QStringLiteral("d2/e.txt"))).c_str()))
        << "a sibling folder whose name begins like the root's is still outside it";
    EXPECT_TRUE(zip.AddFileToZip(Local(dir.filePath(QStringLiteral("x.txt"))).c_str(), true));
    EXPECT_FALSE(zip.AddFileToZip("sub/missing.txt"));
    EXPECT_EQ(zip.LastError(), ENOENT);
    EXPECT_EQ(zip.GetFileInfo().nFileCount, 5);
    ASSERT_TRUE(zip.CloseZip()) << zip.LastErrorText();

    bool ok = false;
    const auto entries = ReadZip(d + "/out.zip", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"sub/a.txt", "sub/b.txt", "c.txt", "a.txt", "x.txt"}));
    EXPECT_EQ(entries[1].data, "d/sub/b.txt");

    CZipper other; // with a root folder of its own
    ASSERT_TRUE(other.OpenZip(Local(dir.filePath(QStringLiteral("o.zip"))).c_str(),
                              Local(d + "/sub/").c_str()));
    EXPECT_TRUE(other.AddFileToZip("a.txt"));
    EXPECT_TRUE(other.AddFileToZip(Local(d + "/sub/b.txt").c_str()));
    ASSERT_TRUE(other.CloseZip());
    EXPECT_EQ(Names(ReadZip(dir.filePath(QStringLiteral("o.zip")), &ok)),
              (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(Zipper, EntriesAreDeflatedWithLocalTimeAndArchiveAttribute) {
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.bin"));
    QByteArray data;
    for (int i = 0; i < 5000; ++i)
        data.append(char(i * 7 % 13 + 'a'));
    ASSERT_TRUE(WriteBytes(big, data));
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    ASSERT_TRUE(WriteBytes(empty, QByteArray()));
    ASSERT_EQ(chmod(QFile::encodeName(big).constData(), 0444), 0);

    tm when{};
    when.tm_year = 2012 - 1900;
    when.tm_mon = 4;
    when.tm_mday = 4;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 6;
    when.tm_isdst = -1;
    const timespec times[2] = {{mktime(&when), 0}, {mktime(&when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(big).constData(), times, 0), 0);

    CZipper zip;
    const QString out = dir.filePath(QStringLiteral("t.zip"));
    ASSERT_TRUE(zip.OpenZip(Local(out).c_str()));
    ASSERT_TRUE(zip.AddFileToZip(Local(big).c_str(), true));
    ASSERT_TRUE(zip.AddFileToZip(Local(empty).c_str(), true));
    EXPECT_EQ(zip.GetFileInfo().dwUncompressedSize, 5000u);
    ASSERT_TRUE(zip.CloseZip());

    bool ok = false;
    const auto entries = ReadZip(out, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(entries.size(), 2u);
    const unz_file_info64& info = entries[0].info;
    EXPECT_EQ(entries[0].data, data.toStdString());
    EXPECT_EQ(info.compression_method, 8u);
    EXPECT_EQ(info.external_fa, 0x20u) << "the read-only bit is cleared";
    EXPECT_EQ(info.tmu_date.tm_year, 2012u);
    EXPECT_EQ(info.tmu_date.tm_mon, 4u) << "months from 0";
    EXPECT_EQ(info.tmu_date.tm_mday, 4u);
    EXPECT_EQ(info.tmu_date.tm_hour, 14u);
    EXPECT_EQ(info.tmu_date.tm_min, 5u);
    EXPECT_EQ(info.tmu_date.tm_sec, 6u);
    EXPECT_EQ(info.crc, crc32(0, reinterpret_cast<const Bytef*>(data.constData()), 5000));

    EXPECT_EQ(entries[1].name, "empty.txt");
    EXPECT_EQ(entries[1].info.uncompressed_size, 0u);
}

TEST(Zipper, ReplacesTheFileOnlyWhenClosedAndKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("a.zip"));
    const QString src = dir.filePath(QStringLiteral("s.txt"));
    ASSERT_TRUE(WriteBytes(src, "payload"));
    ASSERT_TRUE(WriteBytes(out, "OLD"));
    ASSERT_EQ(chmod(QFile::encodeName(out).constData(), 0640), 0);

    {
        CZipper zip;
        ASSERT_TRUE(zip.OpenZip(Local(out).c_str()));
        ASSERT_TRUE(zip.AddFileToZip(Local(src).c_str(), true));
        EXPECT_EQ(ReadBytes(out), "OLD") << "nothing changes at the path before the close";
        zip.AbortZip();
        EXPECT_TRUE(zip.CloseZip()) << "nothing open any more";
    }
    EXPECT_EQ(ReadBytes(out), "OLD");
    EXPECT_EQ(Listing(dir.path()), (QStringList{"a.zip", "s.txt"}));
    {
        CZipper zip;
        ASSERT_TRUE(zip.OpenZip(Local(out).c_str()));
        ASSERT_TRUE(zip.AddFileToZip(Local(src).c_str(), true));
    } // destroyed while open: dropped, as an abort
    EXPECT_EQ(ReadBytes(out), "OLD");
    EXPECT_EQ(Listing(dir.path()), (QStringList{"a.zip", "s.txt"}));

    CZipper zip;
    ASSERT_TRUE(zip.OpenZip(Local(out).c_str()));
    ASSERT_TRUE(zip.AddFileToZip(Local(src).c_str(), true));
    ASSERT_TRUE(zip.CloseZip()) << zip.LastErrorText();
    bool ok = false;
    EXPECT_EQ(Names(ReadZip(out, &ok)), std::vector<std::string>{"s.txt"});
    EXPECT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(out).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Listing(dir.path()), (QStringList{"a.zip", "s.txt"}));

    // Appending keeps the entries already there.
    ASSERT_TRUE(zip.OpenZip(Local(out).c_str(), nullptr, true));
    ASSERT_TRUE(zip.AddFileToZip("s.txt"));
    ASSERT_TRUE(zip.CloseZip()) << zip.LastErrorText();
    EXPECT_EQ(Names(ReadZip(out, &ok)), (std::vector<std::string>{"s.txt", "s.txt"}));
    EXPECT_TRUE(ok);
    ASSERT_TRUE(WriteBytes(out, "not a zip"));
    EXPECT_FALSE(zip.OpenZip(Local(out).c_str(), nullptr, true));
    EXPECT_EQ(ReadBytes(out), "not a zip");
    EXPECT_EQ(Listing(dir.path()), (QStringList{"a.zip", "s.txt"}));
}

TEST(Zipper, RefusesPathsItCannotOrMustNotReplace) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(WriteBytes(file, "x"));
    CZipper zip;
    EXPECT_FALSE(zip.OpenZip(""));
    EXPECT_FALSE(zip.OpenZip(nullptr));
    EXPECT_FALSE(zip.OpenZip(Local(dir.filePath(QStringLiteral("no/such/a.zip"))).c_str()));
    EXPECT_EQ(zip.LastError(), ENOENT);
    EXPECT_NE(zip.LastErrorText().find("no/such/a.zip"), std::string::npos);
    EXPECT_FALSE(zip.OpenZip(Local(file + "/a.zip").c_str()));
    EXPECT_EQ(zip.LastError(), ENOTDIR);
    EXPECT_FALSE(zip.OpenZip(Local(dir.path()).c_str()));
    EXPECT_EQ(zip.LastError(), EISDIR);
    EXPECT_FALSE(zip.OpenZip("/proc/velmora-test.zip"));
    EXPECT_NE(zip.LastError(), 0);
    EXPECT_FALSE(zip.OpenZip("/dev/full")) << "a device is never replaced by an archive";
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_EQ(Listing(dir.path()), QStringList{"plain"});
}

TEST(Zipper, AReadFailureIsAFailure) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("a.zip"));
    CZipper zip;
    ASSERT_TRUE(zip.OpenZip(Local(out).c_str()));
    // A regular file whose read fails: the entry would be cut short.
    EXPECT_FALSE(zip.AddFileToZip("/proc/self/mem", true));
    EXPECT_EQ(zip.LastError(), EIO) << zip.LastErrorText();
    EXPECT_FALSE(zip.CloseZip()) << "a failed entry does not become a good archive";
    EXPECT_EQ(Listing(dir.path()), QStringList());
}

} // namespace
