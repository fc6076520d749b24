#include "platform/atomic_file.h"

#include "platform/error_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr char kTempMark[] = ".velmora-";

// ".NAME.velmora-XXXXXX": a new file of ours.
bool IsOurTempName(const char* name) {
    const size_t n = std::strlen(name);
    const size_t mark = std::strlen(kTempMark);
    return name[0] == '.' && n > mark + 6 + 1 &&
           std::strncmp(name + n - 6 - mark, kTempMark, mark) == 0;
}

// Removes the new files that writes killed in mid-way left in folder: ours by name and owner,
// and old enough that no write still under way can own them.
void RemoveStaleTemps(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsOurTempName(entry->d_name))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            now - st.st_mtime > kStaleTempSeconds)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

CAtomicFile::CAtomicFile(std::string path, mode_t mode)
    : m_strPath(std::move(path)), m_mode(mode) {}

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Fail(int err, const std::string& what) {
    if (m_nError == 0) { // the first failure is the one the user can act on
        m_nError = err;
        m_strError = what + " " + m_strPath + ": " + ::ErrorText(err);
    }
    return false;
}

bool CAtomicFile::Open() {
    Discard();
    m_nError = 0;
    m_strError.clear();
    if (m_strPath.empty())
        return Fail(ENOENT, "cannot create");
    struct stat st {};
    bool exists = false;
    if (::stat(m_strPath.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "cannot replace");
        exists = true;
    }
    const size_t slash = m_strPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : m_strPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
    RemoveStaleTemps(folder);
    std::string tmpl = folder + "." + name + kTempMark + "XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(errno, "cannot create");
    // mkostemp makes the file 0600: a replaced file keeps its mode, a new one gets the mode a
    // plain create would have given.
    mode_t mode = st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = m_mode & ~mask;
    }
    if (exists && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only root may give the file away; anyone else already owns what they write.
    }
    if (::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        return Fail(err, "cannot create");
    }
    m_fd = fd;
    m_strTemp = tmpl;
    return true;
}

bool CAtomicFile::Write(const void* data, size_t size) {
    if (m_fd < 0)
        return Fail(EBADF, "cannot write");
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(errno, "cannot write");
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool CAtomicFile::Commit() {
    if (m_fd < 0)
        return Fail(EBADF, "cannot write");
    if (m_nError != 0) {
        Discard();
        return false;
    }
    // On the disk before the name points at it: a crash right after the rename must not leave
    // an empty file under the target's name.
    if (::fsync(m_fd) != 0) {
        Fail(errno, "cannot write");
        Discard();
        return false;
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        Fail(errno, "cannot write");
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
        return false;
    }
    if (::rename(m_strTemp.c_str(), m_strPath.c_str()) != 0) {
        Fail(errno, "cannot replace");
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
        return false;
    }
    m_strTemp.clear();
    return true;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_strTemp.empty()) {
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error,
                         mode_t mode) {
    CAtomicFile file(path, mode);
    if (file.Open() && file.Write(data, size) && file.Commit())
        return true;
    if (error)
        *error = file.ErrorText();
    return false;
}
