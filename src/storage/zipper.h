#pragma once
// CZipper writes zip archives through minizip: one archive at a time, files added one by one as
// deflated entries stamped with the file's local last-write time.
//
// The archive is built in a temporary file beside the chosen path and renamed over it only by a
// successful CloseZip, so a failure at any step leaves an existing file at the path as it was
// and no partial archive anywhere. An archive that is discarded (AbortZip, or destruction while
// open) leaves nothing behind.

#include "platform/atomic_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

class CZipper {
public:
    struct ZipInfo {
        int nFileCount = 0;
        int nFolderCount = 0;            // never raised: only files are added
        uint32_t dwUncompressedSize = 0; // bytes read from added files
    };

    CZipper() = default;
    virtual ~CZipper();
    CZipper(const CZipper&) = delete;
    CZipper& operator=(const CZipper&) = delete;

    // Starts an archive at szFilePath (relative paths are taken from the working folder). With
    // bAppend and an existing archive there, its entries are kept and new ones follow them;
    // otherwise the archive replaces the file when it is closed. Entry names of files added
    // without bIgnoreFilePath are formed against szRootFolder, or when that is null or empty
    // against the archive's folder. A path that names something other than a regular file
    // (a device, a folder) is refused.
    bool OpenZip(const char* szFilePath, const char* szRootFolder = nullptr, bool bAppend = false);

    // Adds one regular file as a deflated entry. With bIgnoreFilePath the entry name is the
    // file's name alone; otherwise it is the path relative to the root folder, and a path that
    // leaves the root folder ("..", or an absolute path outside it) is refused.
    bool AddFileToZip(const char* szFilePath, bool bIgnoreFilePath = false);

    // Finishes the archive and puts it at its path. True when it is complete there, or when no
    // archive was open; on false the archive is discarded and the old file (if any) is kept.
    // After an AddFileToZip that failed while writing its entry, CloseZip fails with that
    // error: a cut entry never makes a finished archive.
    bool CloseZip();

    // Drops the archive being written; the file at the path stays as it was.
    void AbortZip();

    bool IsOpen() const { return m_uzFile != nullptr; }
    const ZipInfo& GetFileInfo() const { return m_info; }

    // The errno of the last failure (0 after success) and a text naming what failed and why.
    int LastError() const { return m_nError; }
    const std::string& LastErrorText() const { return m_strError; }

    // Strip trailing blanks and path separators; PrepareZipPath also leading ones.
    static void UnterminatePath(std::string& path);
    static void PrepareZipPath(std::string& path);

    // The archive's I/O state, shared with minizip's file callbacks.
    struct ArchiveFile {
        int fd = -1;
        int err = 0; // first errno of a failed read, write or seek
    };

private:
    // reason replaces the system's text for errno err when given.
    bool Fail(int err, const std::string& what, const char* reason = nullptr);
    void Discard();

    void* m_uzFile = nullptr; // minizip's zipFile
    std::string m_strRootFolder;
    ZipInfo m_info;

    ArchiveFile m_file;
    std::string m_strShownPath; // the path as the caller gave it, for messages
    // The archive is built in this file beside its path and takes the path when finished.
    std::unique_ptr<CAtomicFile> m_pTarget;
    bool m_bDamaged = false; // an entry was cut short: the archive can only be dropped
    int m_nDamage = 0;
    std::string m_strDamage;

    int m_nError = 0;
    std::string m_strError;
};
