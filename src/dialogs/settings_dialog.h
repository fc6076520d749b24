#pragma once
// The settings of a record window: the page "Основные настройки" (organisation attributes and the
// cardiograph's COM port) and the page "Настройки почты" (the SMTP account), and the dialog that
// holds them with the copy-in and copy-out rules of the settings command.

#include "acquisition/enum_com_port.h"
#include "dialogs/prefs_dialog.h"

#include <QCoreApplication>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct CViewSettings;

class CDlg1ComPort : public CSAPrefsSubDlg {
    Q_DECLARE_TR_FUNCTIONS(CDlg1ComPort)
public:
    // ports lists the serial ports; the machine's when not given.
    explicit CDlg1ComPort(std::function<std::vector<SSerInfo>()> ports = {});
    void OnInitDialog() override;
    void OnOK() override;
    bool IsClose() override { return m_bClose; }

    int m_nCom = 1;
    QString m_attrOrg;
    bool m_bAhaRates = false; // the interpretation's normal sinus rate: 50-100, else 60-90/min
    int m_nLanguage = 0;      // LanguageChoice: the system's, Russian or English; from next start
    bool m_bClose = true;

    QComboBox* PortList() const { return m_pPorts; }
    QComboBox* RateList() const { return m_pRates; }
    QComboBox* LanguageList() const { return m_pLanguages; }
    QPlainTextEdit* OrgEdit() const { return m_pOrg; }

private:
    std::function<std::vector<SSerInfo>()> m_listPorts;
    QPlainTextEdit* m_pOrg = nullptr;
    QComboBox* m_pPorts = nullptr;
    QComboBox* m_pRates = nullptr;
    QComboBox* m_pLanguages = nullptr;
    QLabel* m_pNote = nullptr;
};

class CDlgMailCfg : public CSAPrefsSubDlg {
    Q_DECLARE_TR_FUNCTIONS(CDlgMailCfg)
public:
    void OnInitDialog() override;
    void OnOK() override;
    // Enables or disables every control of the page but the check box.
    void EnableSMTP(bool bEnable);

    bool m_bEnableSMTP = false;
    bool m_bUseSSL = false;
    QString m_strHost, m_strLogin, m_strPassword;
    int m_nPort = 25;

    QCheckBox* EnableBox() const { return m_pEnable; }
    QLineEdit* HostEdit() const { return m_pHost; }
    QLineEdit* PortEdit() const { return m_pPort; }
    QLineEdit* LoginEdit() const { return m_pLogin; }
    QLineEdit* PasswordEdit() const { return m_pPassword; }
    QCheckBox* SslBox() const { return m_pSsl; }

private:
    QCheckBox* m_pEnable = nullptr;
    QLineEdit *m_pHost = nullptr, *m_pPort = nullptr, *m_pLogin = nullptr, *m_pPassword = nullptr;
    QCheckBox* m_pSsl = nullptr;
};

// The hospital's archive: its AE title, host and port, our own AE title, and a check of the
// link (C-ECHO with the values as they stand on the page, applied or not). Below it the hospital
// information system that takes the results as HL7 messages: its host and MLLP port. Beside the
// archive the modality worklist server (its AE title, host and port), asked under our AE title.
class CDlgPacsCfg : public CSAPrefsSubDlg {
    Q_DECLARE_TR_FUNCTIONS(CDlgPacsCfg)
public:
    void OnInitDialog() override;
    void OnOK() override;

    QString m_strPacsAETitle, m_strHost, m_strOwnAETitle;
    int m_nPort = 104;
    int m_nTimeout = 30; // not on the page: the settings file's
    QString m_strHisHost;
    int m_nHisPort = 2575;
    QString m_strWorklistAETitle, m_strWorklistHost;
    int m_nWorklistPort = 104;

    QLineEdit* WorklistAETitleEdit() const { return m_pWorklistAet; }
    QLineEdit* WorklistHostEdit() const { return m_pWorklistHost; }
    QLineEdit* WorklistPortEdit() const { return m_pWorklistPort; }
    QLineEdit* PacsAETitleEdit() const { return m_pPacsAet; }
    QLineEdit* HisHostEdit() const { return m_pHisHost; }
    QLineEdit* HisPortEdit() const { return m_pHisPort; }
    QLineEdit* HostEdit() const { return m_pHost; }
    QLineEdit* PortEdit() const { return m_pPort; }
    QLineEdit* OwnAETitleEdit() const { return m_pOwnAet; }
    QPushButton* CheckButton() const { return m_pCheck; }
    QLabel* CheckResult() const { return m_pResult; }

private:
    void Check();
    QLineEdit *m_pPacsAet = nullptr, *m_pHost = nullptr, *m_pPort = nullptr, *m_pOwnAet = nullptr;
    QLineEdit *m_pHisHost = nullptr, *m_pHisPort = nullptr;
    QLineEdit *m_pWorklistAet = nullptr, *m_pWorklistHost = nullptr, *m_pWorklistPort = nullptr;
    QPushButton* m_pCheck = nullptr;
    QLabel* m_pResult = nullptr;
    class CPacsJob* m_pEcho = nullptr;
};

// The archive of every record: whether the window takes its records in, and where the archive
// is (this computer's file, or a clinic's PostgreSQL database with its password and TLS mode).
class CDlgArchiveCfg : public CSAPrefsSubDlg {
    Q_DECLARE_TR_FUNCTIONS(CDlgArchiveCfg)
public:
    void OnInitDialog() override;
    void OnOK() override;

    bool m_bEnabled = true;
    bool m_bShared = false; // PostgreSQL rather than a file
    QString m_strFile, m_strHost, m_strDatabase, m_strUser, m_strPassword, m_strSslMode;
    int m_nPort = 5432;

    QCheckBox* EnableBox() const { return m_pEnable; }
    QCheckBox* SharedBox() const { return m_pShared; }
    QLineEdit* FileEdit() const { return m_pFile; }
    QLineEdit* HostEdit() const { return m_pHost; }
    QLineEdit* PasswordEdit() const { return m_pPassword; }

private:
    QCheckBox *m_pEnable = nullptr, *m_pShared = nullptr;
    QLineEdit *m_pFile = nullptr, *m_pHost = nullptr, *m_pPort = nullptr, *m_pDatabase = nullptr,
              *m_pUser = nullptr, *m_pPassword = nullptr;
    QComboBox* m_pSslMode = nullptr;
};

class CSettingsDialog : public CSAPrefsDialog {
    Q_DECLARE_TR_FUNCTIONS(CSettingsDialog)
public:
    explicit CSettingsDialog(QWidget* parent = nullptr,
                             std::function<std::vector<SSerInfo>()> ports = {});
    // The view's values into the pages; the SMTP account only while SMTP is on.
    void CopyIn(const CViewSettings& s);
    // The pages' values into the view's; the SMTP account only while SMTP is on.
    void CopyOut(CViewSettings& s) const;

    CDlg1ComPort m_page1;
    CDlgMailCfg m_page2;
    CDlgPacsCfg m_page3;
    CDlgArchiveCfg m_page4;
};
