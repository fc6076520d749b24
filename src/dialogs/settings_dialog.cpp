#include "dialogs/settings_dialog.h"
#include "dialogs/status_text.h"

#include "platform/ui_language.h"

#include "config/view_settings.h"
#include "record_io/record_pacs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace {

// The C library's decimal conversion: leading blanks, a sign, digits; 0 when none.
int DecimalOf(const QString& text) {
    return int(std::strtol(text.toLocal8Bit().constData(), nullptr, 10));
}

} // namespace

CDlg1ComPort::CDlg1ComPort(std::function<std::vector<SSerInfo>()> ports)
    : m_listPorts(std::move(ports)) {
    if (!m_listPorts)
        m_listPorts = [] {
            std::vector<SSerInfo> found;
            CEnumComPort::EnumSerialPorts(found, false);
            return found;
        };
}

void CDlg1ComPort::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    auto* orgGroup = new QGroupBox(tr("Атрибуты организации"), this);
    m_pOrg = new QPlainTextEdit(orgGroup);
    (new QVBoxLayout(orgGroup))->addWidget(m_pOrg);
    auto* portGroup = new QGroupBox(tr("Com - порт"), this);
    auto* portLayout = new QVBoxLayout(portGroup);
    m_pPorts = new QComboBox(portGroup);
    m_pNote = new QLabel(portGroup);
    m_pNote->setWordWrap(true);
    portLayout->addWidget(m_pPorts);
    portLayout->addWidget(m_pNote);
    auto* rateGroup = new QGroupBox(tr("Автоматическое заключение"), this);
    auto* rateForm = new QFormLayout(rateGroup);
    m_pRates = new QComboBox(rateGroup);
    m_pRates->addItem(tr("60-90 в минуту (российская практика)"), false);
    m_pRates->addItem(tr("50-100 в минуту (рекомендации AHA)"), true);
    rateForm->addRow(tr("Нормальная частота синусового ритма"), m_pRates);
    auto* languageGroup = new QGroupBox(tr("Язык интерфейса"), this);
    auto* languageLayout = new QVBoxLayout(languageGroup);
    m_pLanguages = new QComboBox(languageGroup);
    // Each language by its own name, so that it is found whichever one the window speaks.
    m_pLanguages->addItem(tr("Как в системе"), int(LanguageChoice::System));
    m_pLanguages->addItem(QStringLiteral("Русский"), int(LanguageChoice::Russian));
    m_pLanguages->addItem(QStringLiteral("English"), int(LanguageChoice::English));
    languageLayout->addWidget(m_pLanguages);
    auto* languageNote =
        new QLabel(tr("Язык сменится при следующем запуске программы."), languageGroup);
    languageNote->setWordWrap(true);
    languageLayout->addWidget(languageNote);
    layout->addWidget(orgGroup, 1);
    layout->addWidget(portGroup);
    layout->addWidget(rateGroup);
    layout->addWidget(languageGroup);
    m_pRates->setCurrentIndex(m_bAhaRates ? 1 : 0);
    m_pLanguages->setCurrentIndex(
        std::max(0, m_pLanguages->findData(int(LanguageChoiceOf(m_nLanguage)))));

    m_pOrg->setPlainText(m_attrOrg);
    m_pPorts->clear();
    for (const SSerInfo& p : m_listPorts()) {
        const QString name = QString::fromStdString(p.m_szPortName);
        const QString friendly = QString::fromStdString(p.m_szDescription);
        m_pPorts->addItem(friendly == name ? name : name + QStringLiteral("  ") + friendly,
                          DecimalOf(name.mid(3)));
        m_pPorts->setItemData(m_pPorts->count() - 1, QString::fromStdString(p.m_szDevicePath),
                              Qt::ToolTipRole);
    }
    if (m_pPorts->count() == 0)
        m_pNote->setText(tr("Последовательные порты не найдены."));
    // The stored port by its exact number; a port that is not there now stays the choice, shown
    // as absent, until the user picks another.
    int index = m_pPorts->findData(m_nCom);
    if (index < 0 && m_nCom > 0) {
        m_pPorts->addItem(tr("COM%1  (нет в системе)").arg(m_nCom), m_nCom);
        index = m_pPorts->count() - 1;
    }
    m_pPorts->setCurrentIndex(index);
}

void CDlg1ComPort::OnOK() {
    if (m_pPorts->currentIndex() >= 0)
        m_nCom = m_pPorts->currentData().toInt(); // no port selected: the previous one stays
    // A settings value is one line: what follows the first line break would be lost on the
    // way to the file while the window kept showing it, so the first line is what is taken.
    m_attrOrg = m_pOrg->toPlainText().section(QLatin1Char('\n'), 0, 0);
    m_attrOrg.remove(QLatin1Char('\r'));
    m_pOrg->setPlainText(m_attrOrg);
    m_bAhaRates = m_pRates->currentData().toBool();
    m_nLanguage = m_pLanguages->currentData().toInt();
    m_bClose = true;
}

void CDlgMailCfg::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    m_pEnable = new QCheckBox(tr("Разрешить отправлять письма"), this);
    auto* group = new QGroupBox(tr("Настройки SMTP"), this);
    auto* form = new QFormLayout(group);
    m_pHost = new QLineEdit(group);
    m_pPort = new QLineEdit(group);
    m_pLogin = new QLineEdit(group);
    m_pPassword = new QLineEdit(group);
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pSsl = new QCheckBox(tr("Использовать SSL кодирование"), group);
    form->addRow(tr("Сервер SMTP"), m_pHost);
    form->addRow(tr("Порт SMTP"), m_pPort);
    form->addRow(tr("Имя ящика"), m_pLogin);
    form->addRow(tr("Пароль"), m_pPassword);
    form->addRow(m_pSsl);
    layout->addWidget(m_pEnable);
    layout->addWidget(group);
    layout->addStretch(1);

    m_pEnable->setChecked(m_bEnableSMTP);
    EnableSMTP(m_bEnableSMTP);
    if (m_bEnableSMTP) {
        m_pHost->setText(m_strHost);
        m_pLogin->setText(m_strLogin);
        m_pPassword->setText(m_strPassword);
        m_pPort->setText(QString::number(m_nPort));
        m_pSsl->setChecked(m_bUseSSL);
    }
    connect(m_pEnable, &QCheckBox::clicked, this, [this](bool on) {
        m_bEnableSMTP = on;
        EnableSMTP(on);
    });
}

void CDlgMailCfg::EnableSMTP(bool bEnable) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_pHost, m_pPort, m_pLogin, m_pPassword, m_pSsl})
        w->setEnabled(bEnable);
}

void CDlgMailCfg::OnOK() {
    if (!m_bEnableSMTP)
        return;
    m_strHost = m_pHost->text();
    m_strLogin = m_pLogin->text();
    m_strPassword = m_pPassword->text();
    m_nPort = DecimalOf(m_pPort->text());
    m_bUseSSL = m_pSsl->isChecked();
}

void CDlgPacsCfg::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(tr("Архив изображений (PACS)"), this);
    auto* form = new QFormLayout(group);
    m_pPacsAet = new QLineEdit(m_strPacsAETitle, group);
    m_pHost = new QLineEdit(m_strHost, group);
    m_pPort = new QLineEdit(QString::number(m_nPort), group);
    m_pOwnAet = new QLineEdit(m_strOwnAETitle, group);
    for (QLineEdit* aet : {m_pPacsAet, m_pOwnAet})
        aet->setMaxLength(16);
    form->addRow(tr("AE-титул PACS"), m_pPacsAet);
    form->addRow(tr("Адрес PACS"), m_pHost);
    form->addRow(tr("Порт DICOM"), m_pPort);
    form->addRow(tr("Свой AE-титул"), m_pOwnAet);
    m_pCheck = new QPushButton(tr("Проверить связь"), this);
    m_pResult = new QLabel(this);
    m_pResult->setWordWrap(true);
    m_pResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(group);
    layout->addWidget(m_pCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_pResult);
    auto* worklist = new QGroupBox(tr("Рабочий список (DICOM Modality Worklist)"), this);
    auto* worklistForm = new QFormLayout(worklist);
    m_pWorklistAet = new QLineEdit(m_strWorklistAETitle, worklist);
    m_pWorklistAet->setMaxLength(16);
    m_pWorklistHost = new QLineEdit(m_strWorklistHost, worklist);
    m_pWorklistPort = new QLineEdit(QString::number(m_nWorklistPort), worklist);
    worklistForm->addRow(tr("AE-титул сервера"), m_pWorklistAet);
    worklistForm->addRow(tr("Адрес сервера"), m_pWorklistHost);
    worklistForm->addRow(tr("Порт DICOM"), m_pWorklistPort);
    layout->addWidget(worklist);
    auto* his = new QGroupBox(tr("Медицинская информационная система (HL7)"), this);
    auto* hisForm = new QFormLayout(his);
    m_pHisHost = new QLineEdit(m_strHisHost, his);
    m_pHisPort = new QLineEdit(QString::number(m_nHisPort), his);
    hisForm->addRow(tr("Адрес МИС"), m_pHisHost);
    hisForm->addRow(tr("Порт MLLP"), m_pHisPort);
    layout->addWidget(his);
    layout->addStretch(1);
    m_pEcho = new CPacsJob(this);
    connect(m_pCheck, &QPushButton::clicked, this, &CDlgPacsCfg::Check);
    connect(m_pEcho, &CPacsJob::Finished, this, [this](bool ok, const QString& reason) {
        m_pCheck->setEnabled(true);
        SetStatusText(m_pResult,
                      ok ? tr("Связь с PACS есть.") : tr("Нет связи с PACS: %1").arg(reason));
    });
}

void CDlgPacsCfg::Check() {
    CViewSettings s;
    s.m_szPacsAETitle = m_pPacsAet->text();
    s.m_szPacsHost = m_pHost->text();
    s.m_nPacsPort = DecimalOf(m_pPort->text());
    s.m_szOwnAETitle = m_pOwnAet->text();
    s.m_nPacsTimeout = m_nTimeout;
    std::string why;
    if (!m_pEcho->StartEcho(s, &why)) {
        SetStatusText(m_pResult, tr("Нет связи с PACS: %1").arg(QString::fromStdString(why)));
        return;
    }
    m_pCheck->setEnabled(false);
    SetStatusText(m_pResult, tr("Проверка связи…"));
}

void CDlgPacsCfg::OnOK() {
    m_strPacsAETitle = m_pPacsAet->text().trimmed();
    m_strHost = m_pHost->text().trimmed();
    m_nPort = DecimalOf(m_pPort->text());
    m_strOwnAETitle = m_pOwnAet->text().trimmed();
    m_strHisHost = m_pHisHost->text().trimmed();
    m_nHisPort = DecimalOf(m_pHisPort->text());
    m_strWorklistAETitle = m_pWorklistAet->text().trimmed();
    m_strWorklistHost = m_pWorklistHost->text().trimmed();
    m_nWorklistPort = DecimalOf(m_pWorklistPort->text());
}

void CDlgArchiveCfg::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    m_pEnable =
        new QCheckBox(tr("Заносить в архив каждую принятую, открытую и сохранённую запись"), this);
    m_pEnable->setChecked(m_bEnabled);
    m_pShared = new QCheckBox(tr("Общий архив клиники на сервере PostgreSQL"), this);
    m_pShared->setChecked(m_bShared);
    auto* local = new QGroupBox(tr("Архив на этом компьютере"), this);
    auto* localForm = new QFormLayout(local);
    m_pFile = new QLineEdit(m_strFile, local);
    m_pFile->setPlaceholderText(tr("по умолчанию: ~/.local/share/velmora/archive.sqlite"));
    localForm->addRow(tr("Файл архива"), m_pFile);
    auto* shared = new QGroupBox(tr("Общий архив"), this);
    auto* form = new QFormLayout(shared);
    m_pHost = new QLineEdit(m_strHost, shared);
    m_pPort = new QLineEdit(QString::number(m_nPort), shared);
    m_pDatabase = new QLineEdit(m_strDatabase, shared);
    m_pUser = new QLineEdit(m_strUser, shared);
    m_pPassword = new QLineEdit(m_strPassword, shared);
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pSslMode = new QComboBox(shared);
    m_pSslMode->addItem(tr("как решит сервер"), QString());
    for (const char* mode : {"require", "verify-ca", "verify-full", "prefer", "allow", "disable"})
        m_pSslMode->addItem(QString::fromLatin1(mode), QString::fromLatin1(mode));
    m_pSslMode->setCurrentIndex(std::max(0, m_pSslMode->findData(m_strSslMode)));
    form->addRow(tr("Сервер"), m_pHost);
    form->addRow(tr("Порт"), m_pPort);
    form->addRow(tr("База данных"), m_pDatabase);
    form->addRow(tr("Пользователь"), m_pUser);
    form->addRow(tr("Пароль"), m_pPassword);
    form->addRow(tr("Шифрование (sslmode)"), m_pSslMode);
    layout->addWidget(m_pEnable);
    layout->addWidget(m_pShared);
    layout->addWidget(local);
    layout->addWidget(shared);
    layout->addStretch(1);
    const auto follow = [local, shared](bool bShared) {
        local->setEnabled(!bShared);
        shared->setEnabled(bShared);
    };
    connect(m_pShared, &QCheckBox::toggled, this, follow);
    follow(m_bShared);
}

void CDlgArchiveCfg::OnOK() {
    m_bEnabled = m_pEnable->isChecked();
    m_bShared = m_pShared->isChecked();
    m_strFile = m_pFile->text().trimmed();
    m_strHost = m_pHost->text().trimmed();
    m_nPort = DecimalOf(m_pPort->text());
    m_strDatabase = m_pDatabase->text().trimmed();
    m_strUser = m_pUser->text().trimmed();
    m_strPassword = m_pPassword->text();
    m_strSslMode = m_pSslMode->currentData().toString();
}

CSettingsDialog::CSettingsDialog(QWidget* parent, std::function<std::vector<SSerInfo>()> ports)
    : CSAPrefsDialog(parent), m_page1(std::move(ports)) {
    AddPage(m_page1, tr("Основные настройки"));
    AddPage(m_page2, tr("Настройки почты"));
    AddPage(m_page3, QStringLiteral("PACS"));
    AddPage(m_page4, QCoreApplication::translate("CDlgArchiveCfg", "Архив"));
}

void CSettingsDialog::CopyIn(const CViewSettings& s) {
    m_page4.m_bEnabled = s.m_bArchiveEnabled;
    m_page4.m_bShared = s.m_szArchiveKind.trimmed().toLower() == QLatin1String("postgresql");
    m_page4.m_strFile = s.m_szArchiveFile;
    m_page4.m_strHost = s.m_szArchiveHost;
    m_page4.m_nPort = s.m_nArchivePort;
    m_page4.m_strDatabase = s.m_szArchiveDatabase;
    m_page4.m_strUser = s.m_szArchiveUser;
    m_page4.m_strPassword = s.m_szArchivePassword;
    m_page4.m_strSslMode = s.m_szArchiveSslMode;
    m_page3.m_strPacsAETitle = s.m_szPacsAETitle;
    m_page3.m_strHost = s.m_szPacsHost;
    m_page3.m_nPort = s.m_nPacsPort;
    m_page3.m_strOwnAETitle = s.m_szOwnAETitle;
    m_page3.m_nTimeout = s.m_nPacsTimeout;
    m_page3.m_strWorklistAETitle = s.m_szWorklistAETitle;
    m_page3.m_strWorklistHost = s.m_szWorklistHost;
    m_page3.m_nWorklistPort = s.m_nWorklistPort;
    m_page3.m_strHisHost = s.m_szHisHost;
    m_page3.m_nHisPort = s.m_nHisPort;
    m_page1.m_nCom = s.m_nCom;
    m_page1.m_attrOrg = s.m_attrOrg;
    m_page1.m_nLanguage = s.m_nLanguage;
    m_page1.m_bAhaRates =
        s.m_szRatePractice.compare(QLatin1String("aha"), Qt::CaseInsensitive) == 0;
    m_page2.m_bEnableSMTP = s.m_bSMTPEnabled;
    if (s.m_bSMTPEnabled) {
        m_page2.m_strHost = s.m_szMailHostName;
        m_page2.m_strLogin = s.m_szMailLogin;
        m_page2.m_strPassword = s.m_szMailPassword;
        m_page2.m_bUseSSL = s.m_bMailUseSSL;
        m_page2.m_nPort = s.m_nMailSMTPPort;
    }
}

void CSettingsDialog::CopyOut(CViewSettings& s) const {
    s.m_bArchiveEnabled = m_page4.m_bEnabled;
    s.m_szArchiveKind = m_page4.m_bShared ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
    s.m_szArchiveFile = m_page4.m_strFile;
    s.m_szArchiveHost = m_page4.m_strHost;
    s.m_nArchivePort = m_page4.m_nPort;
    s.m_szArchiveDatabase = m_page4.m_strDatabase;
    s.m_szArchiveUser = m_page4.m_strUser;
    s.m_szArchivePassword = m_page4.m_strPassword;
    s.m_szArchiveSslMode = m_page4.m_strSslMode;
    s.m_szPacsAETitle = m_page3.m_strPacsAETitle;
    s.m_szPacsHost = m_page3.m_strHost;
    s.m_nPacsPort = m_page3.m_nPort;
    s.m_szOwnAETitle = m_page3.m_strOwnAETitle;
    s.m_szWorklistAETitle = m_page3.m_strWorklistAETitle;
    s.m_szWorklistHost = m_page3.m_strWorklistHost;
    s.m_nWorklistPort = m_page3.m_nWorklistPort;
    s.m_szHisHost = m_page3.m_strHisHost;
    s.m_nHisPort = m_page3.m_nHisPort;
    s.m_attrOrg = m_page1.m_attrOrg;
    s.m_nLanguage = m_page1.m_nLanguage;
    s.m_szRatePractice = m_page1.m_bAhaRates ? QStringLiteral("aha") : QStringLiteral("russian");
    s.m_nCom = m_page1.m_nCom;
    s.m_bSMTPEnabled = m_page2.m_bEnableSMTP;
    if (m_page2.m_bEnableSMTP) {
        s.m_szMailHostName = m_page2.m_strHost;
        s.m_szMailLogin = m_page2.m_strLogin;
        s.m_szMailPassword = m_page2.m_strPassword;
        s.m_bMailUseSSL = m_page2.m_bUseSSL;
        s.m_nMailSMTPPort = m_page2.m_nPort;
    }
}
