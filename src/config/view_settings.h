#pragma once
// The settings a record window works with, named after their keys in the settings file. The
// session, the command-line program and the record window's view share this one list of keys.

#include <QString>

struct CViewSettings {
    int m_nCom = 1;    // COM port number that reception opens
    QString m_attrOrg; // organisation attributes; the sender name of e-mails
    // The interface language (LanguageChoice of platform/ui_language.h): 0 follows the system's
    // locale, 1 Russian, 2 English. Taken at start.
    int m_nLanguage = 0;
    bool m_bSMTPEnabled = false; // send over SMTP rather than through the mail client
    QString m_szMailHostName;
    QString m_szMailLogin; // SMTP user name and sender address
    QString m_szMailPassword;
    int m_nMailSMTPPort = 25;
    bool m_bMailUseSSL = false;
    // PEM file of the CA that signed the mail server's certificate; empty: the system's CAs.
    // Read from the file but never written: the settings dialog does not show it, and storing
    // would add the key to every file.
    QString m_szMailCABundle;
    // The hospital's archive (section [PACS]): its AE title, host and DICOM port, and ours.
    QString m_szPacsAETitle = QStringLiteral("ORTHANC");
    QString m_szPacsHost;
    int m_nPacsPort = 104;
    QString m_szOwnAETitle = QStringLiteral("VELMORA");
    // Seconds any wait for the archive may take (connecting, association, each message). Read,
    // never written, like the CA bundle.
    int m_nPacsTimeout = 30;
    // The modality worklist server (section [PACS] too): its AE title, host and DICOM port. The
    // station asks it under our own AE title above; no host: no worklist.
    QString m_szWorklistAETitle = QStringLiteral("WORKLIST");
    QString m_szWorklistHost;
    int m_nWorklistPort = 104;
    // The hospital information system that takes the results as HL7 messages (section [HIS]):
    // its host and MLLP port, its application and facility (MSH-5, MSH-6), and ours (MSH-4).
    QString m_szHisHost;
    int m_nHisPort = 2575;
    QString m_szHisApplication;
    QString m_szHisFacility;
    QString m_szHisOwnFacility;
    // Seconds to wait for the connection and again for the acknowledgement. Read, never written.
    int m_nHisTimeout = 30;
    // The archive of every record (section [Archive]): whether each record received, opened or
    // saved goes into it, and where it is: an SQLite file (empty: the user's own) or a shared
    // PostgreSQL database, its password kept here as the mail one is.
    bool m_bArchiveEnabled = true;
    // The first start found no doctor's account in the archive and offered to make one.
    bool m_bDoctorAccountOffered = false;
    QString m_szArchiveKind = QStringLiteral("sqlite"); // or "postgresql"
    QString m_szArchiveFile;
    QString m_szArchiveHost;
    int m_nArchivePort = 5432;
    QString m_szArchiveDatabase;
    QString m_szArchiveUser;
    QString m_szArchivePassword;
    QString m_szArchiveSslMode; // libpq's sslmode; empty: libpq's default
    // The interpretation's limits of a normal sinus rate (section [Analysis]): "russian"
    // (60-90/min) or "aha" (50-100/min).
    QString m_szRatePractice = QStringLiteral("russian");

    // bLoad true loads every key of the settings file into the members (a missing key keeps
    // the member's value); false stores every member, changed or not. Storing returns false
    // when a key could not be written or a text had characters Windows-1251 lacks, with the
    // first reason in *pError; loading always succeeds.
    bool UpdateIni(bool bLoad, QString* pError = nullptr);
};
