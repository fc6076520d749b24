#include "storage/zipper.h"

#include "platform/error_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

// The MS-DOS attribute bits the entries carry (minizip marks entries as made on MS-DOS).
constexpr unsigned long FILE_ATTRIBUTE_READONLY = 0x01;
constexpr unsigned long FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr unsigned long FILE_ATTRIBUTE_ARCHIVE = 0x20;

constexpr int kReadPiece = 2048;

// minizip's file callbacks over the archive's descriptor. Each keeps the first errno, so the
// caller can report the system's reason rather than minizip's bare error code.
using CArchive = CZipper::ArchiveFile;

void Remember(CArchive* a, int err) {
    if (a->err == 0)
        a->err = err;
}

voidpf ZCALLBACK ArchiveOpen(voidpf opaque, const void*, int) {
    auto* a = static_cast<CArchive*>(opaque);
    if (::lseek(a->fd, 0, SEEK_SET) < 0) {
        Remember(a, errno);
        return nullptr;
    }
    return a;
}

uLong ZCALLBACK ArchiveRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* a = static_cast<CArchive*>(stream);
    uLong done = 0;
    while (done < size) {
        const ssize_t n = ::read(a->fd, static_cast<char*>(buf) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Remember(a, errno);
        if (n <= 0)
            break;
        done += uLong(n);
    }
    return done;
}

uLong ZCALLBACK ArchiveWrite(voidpf, voidpf stream, const void* buf, uLong size) {
    auto* a = static_cast<CArchive*>(stream);
    uLong done = 0;
    while (done < size) {
        const ssize_t n = ::write(a->fd, static_cast<const char*>(buf) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Remember(a, n < 0 ? errno : EIO);
            break;
        }
        done += uLong(n);
    }
    return done;
}

ZPOS64_T ZCALLBACK ArchiveTell(voidpf, voidpf stream) {
    auto* a = static_cast<CArchive*>(stream);
    const off_t pos = ::lseek(a->fd, 0, SEEK_CUR);
    if (pos < 0) {
        Remember(a, errno);
        return ZPOS64_T(-1);
    }
    return ZPOS64_T(pos);
}

long ZCALLBACK ArchiveSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* a = static_cast<CArchive*>(stream);
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR   ? SEEK_CUR
                       : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                          : SEEK_SET;
    if (::lseek(a->fd, off_t(offset), whence) < 0) {
        Remember(a, errno);
        return -1;
    }
    return 0;
}

int ZCALLBACK ArchiveClose(voidpf, voidpf) {
    return 0; // the descriptor is closed (and checked) by CloseZip
}

int ZCALLBACK ArchiveError(voidpf, voidpf stream) {
    return static_cast<CArchive*>(stream)->err != 0;
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when a ".." segment would take the entry out of the archive's folder.
bool LeavesFolder(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2)
            return true;
        start = end + 1;
    }
    return false;
}

// The source file's attributes as the MS-DOS attribute bits of the entry.
unsigned long FileAttributes(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    unsigned long attr = FILE_ATTRIBUTE_ARCHIVE;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

// The local time of a modification time; the zip date holds the years 1980-2107 only.
tm_zip ZipTime(time_t t) {
    tm local{};
    localtime_r(&t, &local);
    tm_zip z{};
    const int year = local.tm_year + 1900;
    if (year < 1980) {
        z = tm_zip{0, 0, 0, 1, 0, 1980};
    } else if (year > 2107) {
        z = tm_zip{58, 59, 23, 31, 11, 2107};
    } else {
        z.tm_sec = uInt(local.tm_sec > 59 ? 59 : local.tm_sec);
        z.tm_min = uInt(local.tm_min);
        z.tm_hour = uInt(local.tm_hour);
        z.tm_mday = uInt(local.tm_mday);
        z.tm_mon = uInt(local.tm_mon);
        z.tm_year = uInt(year);
    }
    return z;
}

} // namespace

CZipper::~CZipper() {
    AbortZip();
}

void CZipper::UnterminatePath(std::string& path) {
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t' || path.back() == '/'))
        path.pop_back();
}

void CZipper::PrepareZipPath(std::string& path) {
    UnterminatePath(path);
    size_t lead = 0;
    while (lead < path.size() && (path[lead] == ' ' || path[lead] == '\t' || path[lead] == '/'))
        ++lead;
    path.erase(0, lead);
}

bool CZipper::Fail(int err, const std::string& what, const char* reason) {
    m_nError = err;
    m_strError = what + ": " + (reason ? std::string(reason) : ErrorText(err));
    return false;
}

void CZipper::Discard() {
    m_pTarget.reset(); // closes and removes the unfinished archive
    m_file = ArchiveFile{};
    m_bDamaged = false;
}

bool CZipper::OpenZip(const char* szFilePath, const char* szRootFolder, bool bAppend) {
    if (m_uzFile)
        CloseZip();
    Discard();
    m_uzFile = nullptr;
    m_strRootFolder.clear();
    m_info = ZipInfo{};
    m_nError = 0;
    m_strError.clear();

    const std::string given = szFilePath ? szFilePath : "";
    if (given.empty())
        return Fail(EINVAL, "no archive path");
    std::string absolute = given;
    if (absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            return Fail(errno, "cannot resolve " + given);
        absolute = std::string(cwd) + "/" + given;
    }

    // The archive goes where the path leads: through a link to its target.
    std::string target = absolute;
    struct stat st {};
    if (::lstat(absolute.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(absolute.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(EISDIR, "cannot replace " + given);
        if (!S_ISREG(st.st_mode))
            return Fail(EEXIST, "cannot replace " + given, "it is not a regular file");
        exists = true;
    } else if (errno != ENOENT) {
        return Fail(errno, "cannot create " + given);
    }
    // A fresh file in the archive's own folder, so that the final rename cannot cross file
    // systems; an existing archive's permissions are kept, a new one's follow the umask.
    m_pTarget = std::make_unique<CAtomicFile>(target);
    if (!m_pTarget->Open()) {
        const int err = m_pTarget->Error();
        Discard();
        return Fail(err, "cannot create " + given);
    }
    m_file.fd = m_pTarget->Descriptor();

    const bool addInto = bAppend && exists;
    if (addInto) {
        // The old archive is copied first and extended in the copy.
        const int in = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            const int err = errno;
            Discard();
            return Fail(err, "cannot read " + given);
        }
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int err = errno;
                ::close(in);
                Discard();
                return Fail(err, "cannot read " + given);
            }
            if (n == 0)
                break;
            if (ArchiveWrite(nullptr, &m_file, buf, uLong(n)) != uLong(n)) {
                const int err = m_file.err;
                ::close(in);
                Discard();
                return Fail(err, "cannot write " + given);
            }
        }
        ::close(in);
    }

    zlib_filefunc64_def io{};
    io.zopen64_file = ArchiveOpen;
    io.zread_file = ArchiveRead;
    io.zwrite_file = ArchiveWrite;
    io.ztell64_file = ArchiveTell;
    io.zseek64_file = ArchiveSeek;
    io.zclose_file = ArchiveClose;
    io.zerror_file = ArchiveError;
    io.opaque = &m_file;
    m_uzFile = zipOpen2_64(target.c_str(), addInto ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE,
                           nullptr, &io);
    if (!m_uzFile) {
        const int err = m_file.err;
        Discard();
        if (err)
            return Fail(err, "cannot write " + given);
        return Fail(EINVAL, addInto ? "cannot add to " + given + " (not a zip archive)"
                                    : "cannot create " + given);
    }
    m_strShownPath = given;
    m_strRootFolder =
        (szRootFolder && *szRootFolder) ? std::string(szRootFolder) : Folder(absolute);
    UnterminatePath(m_strRootFolder);
    return true;
}

bool CZipper::AddFileToZip(const char* szFilePath, bool bIgnoreFilePath) {
    if (!m_uzFile)
        return Fail(EBADF, "no archive is open");
    const std::string given = szFilePath ? szFilePath : "";
    if (given.empty())
        return Fail(EINVAL, "no file to add");
    if (!bIgnoreFilePath && LeavesFolder(given))
        return Fail(EINVAL, "cannot add " + given + " (it leaves the archive's folder)");

    const bool absolute = given[0] == '/';
    const std::string source = absolute ? given : m_strRootFolder + "/" + given;
    std::string name;
    if (bIgnoreFilePath) {
        name = FileName(given);
    } else if (absolute) {
        const std::string& root = m_strRootFolder;
        if (given.compare(0, root.size(), root) != 0 || given.size() <= root.size() ||
            given[root.size()] != '/')
            return Fail(EINVAL, "cannot add " + given + " (it is outside " + root + ")");
        name = given.substr(root.size());
    } else {
        name = given.rfind("./", 0) == 0 ? given.substr(2) : given;
    }
    PrepareZipPath(name);
    if (name.empty())
        return Fail(EINVAL, "cannot add " + given + " (no file name)");

    // Non-blocking so that a named pipe is refused below instead of waiting for a writer.
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Fail(errno, "cannot read " + source);
    struct stat st {};
    int statError = 0;
    if (::fstat(fd, &st) != 0)
        statError = errno;
    else if (!S_ISREG(st.st_mode))
        statError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (statError) {
        ::close(fd);
        return Fail(statError, "cannot add " + source,
                    statError == EINVAL ? "it is not a regular file" : nullptr);
    }

    zip_fileinfo zi{};
    zi.tmz_date = ZipTime(st.st_mtim.tv_sec);
    zi.dosDate = 0;
    zi.internal_fa = 0;
    zi.external_fa = FileAttributes(st) & ~FILE_ATTRIBUTE_READONLY;

    const bool opened = zipOpenNewFileInZip(m_uzFile, name.c_str(), &zi, nullptr, 0, nullptr, 0,
                                            nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK;
    int readError = 0;
    bool written = true;
    if (opened) {
        ++m_info.nFileCount;
        char buf[kReadPiece];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                readError = errno;
                break;
            }
            if (n == 0)
                break;
            m_info.dwUncompressedSize += uint32_t(n);
            if (zipWriteInFileInZip(m_uzFile, buf, unsigned(n)) != ZIP_OK) {
                written = false;
                break;
            }
        }
    }
    // Closed also when it did not open, which minizip takes as a no-op.
    const bool closed = zipCloseFileInZip(m_uzFile) == ZIP_OK;
    ::close(fd);

    if (readError)
        Fail(readError, "cannot read " + source);
    else if (!opened || !written || !closed)
        Fail(m_file.err ? m_file.err : EIO, "cannot write " + m_strShownPath);
    else
        return true;
    // The archive may now hold a cut entry: it can no longer be finished as a good one.
    m_bDamaged = true;
    m_nDamage = m_nError;
    m_strDamage = m_strError;
    return false;
}

bool CZipper::CloseZip() {
    m_strRootFolder.clear();
    if (!m_uzFile)
        return true;
    if (m_bDamaged) {
        AbortZip();
        m_nError = m_nDamage;
        m_strError = m_strDamage;
        return false;
    }
    const int result = zipClose(m_uzFile, nullptr);
    m_uzFile = nullptr;
    const std::string shown = m_strShownPath;
    if (result != ZIP_OK || m_file.err) {
        const int err = m_file.err ? m_file.err : EIO;
        Discard();
        return Fail(err, "cannot write " + shown);
    }
    // fsync, close, rename: on the disk before the name points at it.
    m_file.fd = -1;
    if (!m_pTarget->Commit()) {
        const int err = m_pTarget->Error();
        Discard();
        return Fail(err, "cannot write " + shown);
    }
    Discard();
    return true;
}

void CZipper::AbortZip() {
    if (m_uzFile) {
        zipClose(m_uzFile, nullptr); // frees minizip's state; the file is dropped below
        m_uzFile = nullptr;
    }
    m_strRootFolder.clear();
    Discard();
}
