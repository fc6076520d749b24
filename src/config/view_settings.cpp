#include "config/view_settings.h"

#include "config/ini.h"

bool CViewSettings::UpdateIni(bool bLoad, QString* pError) {
    CIni ini(QString(), QStringLiteral("settings"), 1);
    bool ok = true;
    // Keep going after a failed key so that the others are still stored; report the first.
    auto note = [&](bool done) {
        if (!done && ok && pError)
            *pError = ini.LastError();
        ok = ok && done;
    };
    auto flag = [&](bool& b, const char* key) {
        int n = b;
        note(ini.SerGetInt(bLoad, n, QLatin1String(key), QString(), n));
        b = n != 0;
    };

    note(ini.SerGetInt(bLoad, m_nCom, QStringLiteral("m_nCom"), QString(), m_nCom));
    note(ini.SerGetString(bLoad, m_attrOrg, QStringLiteral("m_attrOrg"), QString(), m_attrOrg));
    note(ini.SerGetInt(bLoad, m_nLanguage, QStringLiteral("m_nLanguage"), QString(), m_nLanguage));
    ini.SetSection(QStringLiteral("Mail"));
    flag(m_bSMTPEnabled, "SMTPEnabled");
    note(ini.SerGet(bLoad, m_szMailHostName, QStringLiteral("m_szMailHostName"), QString(),
                    m_szMailHostName));
    note(ini.SerGet(bLoad, m_szMailLogin, QStringLiteral("m_szMailLogin"), QString(),
                    m_szMailLogin));
    note(ini.SerGet(bLoad, m_szMailPassword, QStringLiteral("m_szMailPassword"), QString(),
                    m_szMailPassword));
    note(ini.SerGet(bLoad, m_nMailSMTPPort, QStringLiteral("m_nMailSMTPPort"), QString(),
                    m_nMailSMTPPort));
    flag(m_bMailUseSSL, "MailUseSSL");
    if (bLoad)
        note(ini.SerGet(true, m_szMailCABundle, QStringLiteral("m_szMailCABundle"), QString(),
                        m_szMailCABundle));
    ini.SetSection(QStringLiteral("PACS"));
    note(ini.SerGet(bLoad, m_szPacsAETitle, QStringLiteral("m_szPacsAETitle"), QString(),
                    m_szPacsAETitle));
    note(ini.SerGet(bLoad, m_szPacsHost, QStringLiteral("m_szPacsHost"), QString(), m_szPacsHost));
    note(ini.SerGet(bLoad, m_nPacsPort, QStringLiteral("m_nPacsPort"), QString(), m_nPacsPort));
    note(ini.SerGet(bLoad, m_szOwnAETitle, QStringLiteral("m_szOwnAETitle"), QString(),
                    m_szOwnAETitle));
    note(ini.SerGet(bLoad, m_szWorklistAETitle, QStringLiteral("m_szWorklistAETitle"), QString(),
                    m_szWorklistAETitle));
    note(ini.SerGet(bLoad, m_szWorklistHost, QStringLiteral("m_szWorklistHost"), QString(),
                    m_szWorklistHost));
    note(ini.SerGet(bLoad, m_nWorklistPort, QStringLiteral("m_nWorklistPort"), QString(),
                    m_nWorklistPort));
    if (bLoad)
        note(ini.SerGet(true, m_nPacsTimeout, QStringLiteral("m_nPacsTimeout"), QString(),
                        m_nPacsTimeout));
    ini.SetSection(QStringLiteral("HIS"));
    for (const auto& [text, key] : {std::pair{&m_szHisHost, "m_szHisHost"},
                                    {&m_szHisApplication, "m_szHisApplication"},
                                    {&m_szHisFacility, "m_szHisFacility"},
                                    {&m_szHisOwnFacility, "m_szHisOwnFacility"}})
        note(ini.SerGet(bLoad, *text, QLatin1String(key), QString(), *text));
    note(ini.SerGet(bLoad, m_nHisPort, QStringLiteral("m_nHisPort"), QString(), m_nHisPort));
    if (bLoad)
        note(ini.SerGet(true, m_nHisTimeout, QStringLiteral("m_nHisTimeout"), QString(),
                        m_nHisTimeout));
    ini.SetSection(QStringLiteral("Archive"));
    flag(m_bArchiveEnabled, "m_bArchiveEnabled");
    flag(m_bDoctorAccountOffered, "m_bDoctorAccountOffered");
    for (const auto& [text, key] : {std::pair{&m_szArchiveKind, "m_szArchiveKind"},
                                    {&m_szArchiveFile, "m_szArchiveFile"},
                                    {&m_szArchiveHost, "m_szArchiveHost"},
                                    {&m_szArchiveDatabase, "m_szArchiveDatabase"},
                                    {&m_szArchiveUser, "m_szArchiveUser"},
                                    {&m_szArchivePassword, "m_szArchivePassword"},
                                    {&m_szArchiveSslMode, "m_szArchiveSslMode"}})
        note(ini.SerGet(bLoad, *text, QLatin1String(key), QString(), *text));
    note(ini.SerGet(bLoad, m_nArchivePort, QStringLiteral("m_nArchivePort"), QString(),
                    m_nArchivePort));
    ini.SetSection(QStringLiteral("Analysis"));
    note(ini.SerGet(bLoad, m_szRatePractice, QStringLiteral("m_szRatePractice"), QString(),
                    m_szRatePractice));
    return ok;
}
