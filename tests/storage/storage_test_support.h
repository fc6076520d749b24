#pragma once
// Helpers of the storage tests: reading an archive back entry by entry (minizip's reading side,
// which checks each entry's CRC), files in scratch folders, and a file size limit that makes
// writes fail for real even for root.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <unzip.h>
#include <vector>

struct ZipEntry {
    std::string name;
    std::string data;
    unz_file_info64 info{};
};

// The entries in archive order; false in *ok when the archive or an entry (CRC included) is bad.
inline std::vector<ZipEntry> ReadZip(const QString& path, bool* ok) {
    *ok = false;
    std::vector<ZipEntry> entries;
    unzFile z = unzOpen64(QFile::encodeName(path).constData());
    if (!z)
        return entries;
    int r = unzGoToFirstFile(z);
    while (r == UNZ_OK) {
        ZipEntry e;
        char name[512] = {};
        if (unzGetCurrentFileInfo64(z, &e.info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(z) != UNZ_OK) {
            unzClose(z);
            return entries;
        }
        e.name = name;
        char buf[4096];
        int n;
        while ((n = unzReadCurrentFile(z, buf, sizeof buf)) > 0)
            e.data.append(buf, size_t(n));
        if (n < 0 || unzCloseCurrentFile(z) != UNZ_OK) { // UNZ_CRCERROR on a bad CRC
            unzClose(z);
            return entries;
        }
        entries.push_back(std::move(e));
        r = unzGoToNextFile(z);
    }
    unzClose(z);
    *ok = r == UNZ_END_OF_LIST_OF_FILE;
    return entries;
}

inline std::vector<std::string> Names(const std::vector<ZipEntry>& entries) {
    std::vector<std::string> names;
    for (const ZipEntry& e : entries)
        names.push_back(e.name);
    return names;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Everything in a folder, hidden files included.
inline QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// While alive, no file of this process may grow beyond `bytes`: writes past it fail with EFBIG
// (SIGXFSZ is ignored meanwhile). Root is bound by it too.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = m_old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
