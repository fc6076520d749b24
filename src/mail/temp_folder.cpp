#include "mail/temp_folder.h"

#include "platform/private_folder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace {

// What is removed when the program exits: the kept files, then their folders. std::filesystem
// rather than Qt, so the removal does not depend on Qt's state during static destruction.
class CExitCleanup {
public:
    static CExitCleanup& Get() {
        static CExitCleanup cleanup;
        return cleanup;
    }
    ~CExitCleanup() {
        if (m_bLeave)
            return;
        std::error_code ec;
        for (const std::string& f : m_files)
            std::filesystem::remove(f, ec);
        for (const std::string& d : m_folders)
            std::filesystem::remove_all(d, ec);
    }
    void AddFile(const QString& path) {
        std::lock_guard lock(m_mutex);
        m_files.push_back(QFile::encodeName(path).toStdString());
    }
    void AddFolder(const QString& path) {
        std::lock_guard lock(m_mutex);
        m_folders.push_back(QFile::encodeName(path).toStdString());
    }
    bool HasFile(const QString& path) {
        const std::string p = QFile::encodeName(path).toStdString();
        std::lock_guard lock(m_mutex);
        for (const std::string& f : m_files) {
            if (f == p)
                return true;
        }
        return false;
    }
    // The kept files directly inside folder.
    std::vector<QString> FilesIn(const QString& folder) {
        std::vector<QString> in;
        std::lock_guard lock(m_mutex);
        for (const std::string& f : m_files) {
            const QString path = QFile::decodeName(QByteArray::fromStdString(f));
            if (QFileInfo(path).absolutePath() == folder)
                in.push_back(path);
        }
        return in;
    }

    void Leave() { m_bLeave = true; }

private:
    std::atomic<bool> m_bLeave{false};
    std::mutex m_mutex;
    std::vector<std::string> m_files, m_folders;
};

} // namespace

CMailTempFolder::CMailTempFolder() {
    // Construct the cleanup first so that it is destroyed after any static folder object.
    CExitCleanup::Get();
    CPrivateFolder dir("velmora");
    if (!dir.IsValid()) {
        m_strError = QString::fromStdString(dir.ErrorText());
        return;
    }
    // From here on this object removes it, keeping a file that must outlive it until exit.
    m_strPath = QFileInfo(QFile::decodeName(dir.Release().c_str())).absoluteFilePath();
}

CMailTempFolder::~CMailTempFolder() {
    if (m_strPath.isEmpty())
        return;
    CExitCleanup& cleanup = CExitCleanup::Get();
    const std::vector<QString> kept = cleanup.FilesIn(m_strPath);
    if (kept.empty()) {
        QDir(m_strPath).removeRecursively();
        return;
    }
    QDir dir(m_strPath);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        const QString path = e.absoluteFilePath();
        if (std::find(kept.begin(), kept.end(), path) != kept.end())
            continue;
        if (e.isDir() && !e.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
    cleanup.AddFolder(m_strPath);
}

void KeepUntilExit(const QString& strPath) {
    CExitCleanup::Get().AddFile(QFileInfo(strPath).absoluteFilePath());
}

bool IsKeptUntilExit(const QString& strPath) {
    return CExitCleanup::Get().HasFile(QFileInfo(strPath).absoluteFilePath());
}

void LeaveKeptFilesAtExit() {
    CExitCleanup::Get().Leave();
}
