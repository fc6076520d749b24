#pragma once
// The per-user profile (QSettings, organisation "velmora", application "velmora"): the record
// folder, and the histories of the combo boxes in the group "HistoryCombos" under a key prefix
// per box ("DoctorName", "DoctorPhone", "Recipent", "Subject") followed by the entry's index,
// and the recent files.
// The COM map keeps its own group "ComMap" in the same profile.

#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

class CAppProfile {
public:
    // The user's profile.
    CAppProfile();
    // A profile kept in the given settings object; not owned.
    explicit CAppProfile(QSettings* pSettings);
    ~CAppProfile();
    CAppProfile(const CAppProfile&) = delete;
    CAppProfile& operator=(const CAppProfile&) = delete;

    // One text of the profile; strSection empty means the top level.
    QString GetProfileString(const QString& strSection, const QString& strEntry,
                             const QString& strDefault = QString()) const;
    // False when the profile could not be written.
    bool WriteProfileString(const QString& strSection, const QString& strEntry,
                            const QString& strValue);

    // The record folder. When the profile has none yet it becomes the current folder followed
    // by "/ecg/", and is written back so that it stays the same from then on.
    QString GetEcgFolder();

    // The files opened or saved last, newest first (group "RecentFiles", keys File1...).
    QStringList GetRecentFiles(int nMax) const;
    // Puts path first in that list, once, keeping at most nMax entries.
    bool AddRecentFile(const QString& path, int nMax);

    // The history of a combo box, newest first, at most nMax entries.
    QStringList GetHistory(const QString& strKeyPrefix, int nMax = 10) const;
    // Replaces the history of a combo box by the first nMax of entries.
    bool WriteHistory(const QString& strKeyPrefix, const QStringList& entries, int nMax = 10);

private:
    std::unique_ptr<QSettings> m_pOwned;
    QSettings* m_pSettings;
};
