#pragma once
// Replacing a file only by a complete new one: the bytes go to a fresh file beside the target
// (same folder, so the rename cannot cross file systems), reach the disk, and only then take the
// target's name. A failure at any step leaves the old file as it was and no partial file; the
// error text keeps the errno of the call that failed ("No space left on device").
//
// What this program writes is patient data: a new file is readable by its user only. A process
// killed in mid-write leaves its new file behind (".NAME.velmora-XXXXXX"); the next write into
// that folder removes such files of ours that are older than any write can take.

#include <cstddef>
#include <string>
#include <sys/types.h>

class CAtomicFile {
public:
    // mode is a new file's permission bits (before the umask, as open() takes them); a file
    // that is replaced keeps its own mode and, where allowed (root), its owner.
    explicit CAtomicFile(std::string path, mode_t mode = 0600);
    // Discards the new file unless Commit succeeded.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the new file beside the target. Refuses a target that exists and is not a
    // regular file (a folder, a device): replacing it would not do what the user meant.
    bool Open();
    // The new file's descriptor while open, -1 otherwise.
    int Descriptor() const { return m_fd; }
    bool Write(const void* data, size_t size);
    // fsync, close and rename over the target.
    bool Commit();
    // Drops the new file; the target stays as it was.
    void Discard();

    // Records a failure of the caller's own writes to Descriptor() (errno of that call).
    bool Fail(int err, const std::string& what);

    const std::string& Path() const { return m_strPath; }
    const std::string& TempPath() const { return m_strTemp; }
    int Error() const { return m_nError; }
    const std::string& ErrorText() const { return m_strError; }

private:
    std::string m_strPath;
    std::string m_strTemp;
    mode_t m_mode;
    int m_fd = -1;
    int m_nError = 0;
    std::string m_strError;
};

// The whole of data as the file at path, atomically; false with *error naming the file and why.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error,
                         mode_t mode = 0600);

// A new file left this long beside its target belongs to a write that died.
constexpr int kStaleTempSeconds = 3600;
