#pragma once
// A real PACS for the tests: Orthanc (Debian's package) started on loopback with a private
// configuration and storage folder, stopped when the object goes. Skipped tests say why when it
// is not installed.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_pacs {

// A loopback port nobody listens on at the moment.
inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

inline bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

class COrthanc {
public:
    static QString Program() {
        for (const char* p : {"/usr/sbin/Orthanc", "/usr/bin/Orthanc"})
            if (QFile::exists(QLatin1String(p)))
                return QLatin1String(p);
        return {};
    }

    // True when it answers on its DICOM port. `extra`: more configuration keys, each with its
    // leading comma (the query and retrieve permissions).
    bool Start(const QString& extra = {}) {
        m_nDicomPort = FreePort();
        const QString db = m_dir.filePath(QStringLiteral("db"));
        const QString config = m_dir.filePath(QStringLiteral("orthanc.json"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(QStringLiteral(
                    "{\"Name\":\"velmora-test\",\"StorageDirectory\":\"%1\",\"IndexDirectory\":"
                    "\"%1\",\"DicomAet\":\"ORTHANC\",\"DicomPort\":%2,\"HttpPort\":%3,"
                    "\"RemoteAccessAllowed\":false,\"DicomCheckCalledAet\":true,\"Plugins\":[],"
                    "\"DicomAlwaysAllowStore\":true,\"DicomAlwaysAllowEcho\":true%4}")
                    .arg(db)
                    .arg(m_nDicomPort)
                    .arg(FreePort())
                    .arg(extra)
                    .toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(Program(), {config});
        for (int i = 0; i < 300 && m_process.state() != QProcess::NotRunning; ++i) {
            if (Accepts(m_nDicomPort))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~COrthanc() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    int DicomPort() const { return m_nDicomPort; }
    // The instances it keeps: one attachment file each (in its two-level hex folders).
    int StoredFiles() const {
        int n = 0;
        QDirIterator it(m_dir.filePath(QStringLiteral("db")), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            n += QDir(m_dir.filePath(QStringLiteral("db"))).relativeFilePath(path).count('/') == 2;
        }
        return n;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nDicomPort = 0;
};

} // namespace testing_pacs
