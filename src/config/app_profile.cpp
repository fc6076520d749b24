#include "config/app_profile.h"

#include <QDir>
#include <QSettings>

namespace {

const QString kEcgFolderKey = QStringLiteral("EcgFolder");
const QString kHistoryGroup = QStringLiteral("HistoryCombos");
const QString kRecentGroup = QStringLiteral("RecentFiles");

QString KeyOf(const QString& strSection, const QString& strEntry) {
    return strSection.isEmpty() ? strEntry : strSection + u'/' + strEntry;
}

} // namespace

CAppProfile::CAppProfile()
    : m_pOwned(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("velmora"), QStringLiteral("velmora"))),
      m_pSettings(m_pOwned.get()) {}

CAppProfile::CAppProfile(QSettings* pSettings) : m_pSettings(pSettings) {}

CAppProfile::~CAppProfile() = default;

QString CAppProfile::GetProfileString(const QString& strSection, const QString& strEntry,
                                      const QString& strDefault) const {
    return m_pSettings->value(KeyOf(strSection, strEntry), strDefault).toString();
}

bool CAppProfile::WriteProfileString(const QString& strSection, const QString& strEntry,
                                     const QString& strValue) {
    m_pSettings->setValue(KeyOf(strSection, strEntry), strValue);
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}

QString CAppProfile::GetEcgFolder() {
    QString folder = GetProfileString(QString(), kEcgFolderKey);
    if (folder.isEmpty()) {
        folder = QDir::currentPath();
        if (!folder.endsWith(u'/'))
            folder += u'/';
        folder += QStringLiteral("ecg/");
        WriteProfileString(QString(), kEcgFolderKey, folder);
    }
    return folder;
}

QStringList CAppProfile::GetHistory(const QString& strKeyPrefix, int nMax) const {
    QStringList entries;
    for (int i = 0; i < nMax; ++i) {
        const QString v = GetProfileString(kHistoryGroup, strKeyPrefix + QString::number(i));
        if (v.isEmpty())
            break;
        entries.append(v);
    }
    return entries;
}

bool CAppProfile::WriteHistory(const QString& strKeyPrefix, const QStringList& entries, int nMax) {
    for (int i = 0; i < nMax; ++i) {
        const QString key = KeyOf(kHistoryGroup, strKeyPrefix + QString::number(i));
        if (i < entries.size())
            m_pSettings->setValue(key, entries.at(i));
        else
            m_pSettings->remove(key);
    }
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}

QStringList CAppProfile::GetRecentFiles(int nMax) const {
    QStringList files;
    for (int i = 1; i <= nMax; ++i) {
        const QString v = GetProfileString(kRecentGroup, QStringLiteral("File%1").arg(i));
        if (!v.isEmpty())
            files.append(v);
    }
    return files;
}

bool CAppProfile::AddRecentFile(const QString& path, int nMax) {
    QStringList files = GetRecentFiles(nMax);
    files.removeAll(path);
    files.prepend(path);
    for (int i = 1; i <= nMax; ++i) {
        const QString key = KeyOf(kRecentGroup, QStringLiteral("File%1").arg(i));
        if (i <= files.size())
            m_pSettings->setValue(key, files.at(i - 1));
        else
            m_pSettings->remove(key);
    }
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}
