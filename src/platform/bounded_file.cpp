#include "platform/bounded_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct CFd {
    int fd;
    ~CFd() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool ReadFilePart(const std::string& path, uint64_t offset, size_t maxBytes,
                  std::vector<uint8_t>& bytes, std::string* error, uint64_t* fileSize) {
    const CFd f{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (f.fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = "it is a folder";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "it is not a regular file (a device, a pipe or a socket)";
        return false;
    }
    const uint64_t size = uint64_t(st.st_size);
    if (fileSize)
        *fileSize = size;
    const uint64_t available = size > offset ? size - offset : 0;
    bytes.resize(size_t(std::min<uint64_t>(available, maxBytes)));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(f.fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = std::strerror(errno);
            return false;
        }
        if (n == 0)
            break; // shrank while we read: what is there is checked like any other file
        done += size_t(n);
    }
    bytes.resize(done);
    return true;
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string* error) {
    uint64_t size = 0;
    if (!ReadFilePart(path, 0, maxBytes, bytes, error, &size))
        return false;
    if (size > maxBytes) {
        *error = "it is " + std::to_string(size) + " bytes, more than the " +
                 std::to_string(maxBytes) + " it may have";
        return false;
    }
    if (bytes.empty()) {
        *error = "the file is empty";
        return false;
    }
    return true;
}
