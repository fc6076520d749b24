// The settings dialog: the mail page's enable rules and copy rules, the port list by exact
// number, pages never opened, and Escape.

#include "archive/archive_store.h"
#include "config/ini.h"
#include "config/view_settings.h"
#include "dialogs/settings_dialog.h"
#include "dialogs_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

std::vector<SSerInfo> Ports(std::initializer_list<const char*> names) {
    std::vector<SSerInfo> ports;
    for (const char* n : names) {
        SSerInfo p;
        p.m_szPortName = n;
        p.m_szDevicePath = std::string("/dev/x") + n;
        p.m_szDescription = std::string(n) == "COM7" ? "USB Serial Port" : n;
        ports.push_back(p);
    }
    return ports;
}

CViewSettings Stored() {
    CViewSettings s;
    s.m_nCom = 2;
    s.m_attrOrg = QStringLiteral("Поликлиника №1");
    s.m_bSMTPEnabled = false;
    s.m_szMailHostName = QStringLiteral("smtp.example.org");
    s.m_szMailLogin = QStringLiteral("clinic");
    s.m_szMailPassword = QStringLiteral("secret");
    s.m_nMailSMTPPort = 587;
    s.m_bMailUseSSL = true;
    return s;
}

TEST(SettingsDialog, MailPageEnablesEmptyFieldsAndSwitchingOffKeepsTheStoredAccount) {
    App();
    CViewSettings s = Stored();
    {
        CSettingsDialog dlg(nullptr, [] { return Ports({"COM2"}); });
        dlg.CopyIn(s);
        dlg.show();
        EXPECT_EQ(dlg.CaptionText(), QStringLiteral("Основные настройки"));
        ASSERT_TRUE(dlg.ShowPage(1));
        CDlgMailCfg& mail = dlg.m_page2;
        EXPECT_FALSE(mail.EnableBox()->isChecked());
        for (QLineEdit* e :
             {mail.HostEdit(), mail.PortEdit(), mail.LoginEdit(), mail.PasswordEdit()}) {
            EXPECT_TRUE(e->text().isEmpty()) << "SMTP off shows no stored value";
            EXPECT_FALSE(e->isEnabled());
        }
        QTest::mouseClick(mail.EnableBox(), Qt::LeftButton, {},
                          QPoint(4, mail.EnableBox()->height() / 2));
        ASSERT_TRUE(mail.EnableBox()->isChecked());
        EXPECT_TRUE(mail.HostEdit()->isEnabled());
        EXPECT_TRUE(mail.HostEdit()->text().isEmpty()) << "ticking the box shows empty fields";
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        dlg.CopyOut(s);
    }
    EXPECT_TRUE(s.m_bSMTPEnabled);
    EXPECT_EQ(s.m_nMailSMTPPort, 0) << "no port typed: 0";
    EXPECT_TRUE(s.m_szMailHostName.isEmpty());

    // Off again: the account typed before stays stored.
    s = Stored();
    s.m_bSMTPEnabled = true;
    {
        CSettingsDialog dlg(nullptr, [] { return Ports({"COM2"}); });
        dlg.CopyIn(s);
        dlg.show();
        dlg.ShowPage(1);
        EXPECT_EQ(dlg.m_page2.HostEdit()->text(), QStringLiteral("smtp.example.org"));
        EXPECT_EQ(dlg.m_page2.PortEdit()->text(), QStringLiteral("587"));
        dlg.m_page2.EnableBox()->click();
        dlg.accept();
        dlg.CopyOut(s);
    }
    EXPECT_FALSE(s.m_bSMTPEnabled);
    EXPECT_EQ(s.m_szMailHostName, QStringLiteral("smtp.example.org"));
    EXPECT_EQ(s.m_nMailSMTPPort, 587);
}

TEST(SettingsDialog, PortIsSelectedByExactNumberAndUnopenedPagesKeepTheirValues) {
    App();
    CViewSettings s = Stored();
    s.m_nCom = 1;
    s.m_bSMTPEnabled = true;
    CSettingsDialog dlg(nullptr, [] { return Ports({"COM2", "COM7", "COM10"}); });
    dlg.CopyIn(s);
    dlg.show();
    QComboBox* list = dlg.m_page1.PortList();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->itemText(0), QStringLiteral("COM2"));
    EXPECT_EQ(list->itemText(1), QStringLiteral("COM7  USB Serial Port"));
    EXPECT_TRUE(list->currentText().startsWith(QStringLiteral("COM1 "))) << "not COM10";
    EXPECT_TRUE(list->currentText().contains(QStringLiteral("нет в системе")));
    EXPECT_EQ(dlg.m_page1.OrgEdit()->toPlainText(), QStringLiteral("Поликлиника №1"));

    // Escape closes nothing.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());

    dlg.accept(); // the mail page was never opened
    CViewSettings out = s;
    out.m_szMailHostName.clear();
    dlg.CopyOut(out);
    EXPECT_EQ(out.m_nCom, 1) << "an absent port stays stored unless another is picked";
    EXPECT_EQ(out.m_szMailHostName, QStringLiteral("smtp.example.org"));
    EXPECT_EQ(out.m_nMailSMTPPort, 587);

    EXPECT_EQ(out.m_szRatePractice, QStringLiteral("russian")) << "the default rate limits";

    CSettingsDialog again(nullptr, [] { return Ports({"COM2", "COM10"}); });
    s.m_nCom = 10;
    s.m_szRatePractice = QStringLiteral("AHA");
    s.m_nLanguage = 2;
    again.CopyIn(s);
    again.show();
    EXPECT_EQ(again.m_page1.PortList()->currentText(), QStringLiteral("COM10"));
    EXPECT_EQ(again.m_page1.RateList()->currentIndex(), 1) << "the stored AHA limits shown";
    EXPECT_EQ(again.m_page1.LanguageList()->currentText(), QStringLiteral("English"));
    again.m_page1.PortList()->setCurrentIndex(0);
    again.m_page1.RateList()->setCurrentIndex(0);
    again.m_page1.LanguageList()->setCurrentIndex(1);
    again.accept();
    again.CopyOut(s);
    EXPECT_EQ(s.m_nCom, 2);
    EXPECT_EQ(s.m_szRatePractice, QStringLiteral("russian"));
    EXPECT_EQ(s.m_nLanguage, 1) << "Russian whatever the locale";
}

TEST(SettingsDialog, AnOrganisationOfSeveralLinesIsStoredAsItsFirstLine) {
    App();
    CViewSettings s = Stored();
    CSettingsDialog dlg(nullptr, [] { return Ports({"COM2"}); });
    dlg.CopyIn(s);
    dlg.show();
    dlg.m_page1.OrgEdit()->setPlainText(QStringLiteral("ГБУЗ «Поликлиника №3»\r\nотделение 2"));
    dlg.accept();
    dlg.CopyOut(s);
    EXPECT_EQ(s.m_attrOrg, QStringLiteral("ГБУЗ «Поликлиника №3»"));
    EXPECT_EQ(dlg.m_page1.OrgEdit()->toPlainText(), s.m_attrOrg) << "it shows what is kept";
}

TEST(SettingsDialog, TreeSelectionSwitchesThePageAfterTheClick) {
    App();
    CSettingsDialog dlg(nullptr, [] { return Ports({}); });
    dlg.CopyIn(Stored());
    dlg.show();
    EXPECT_FALSE(dlg.m_page2.IsCreated()) << "pages are built on their first showing";
    dlg.Tree()->setCurrentItem(dlg.Tree()->topLevelItem(1));
    EXPECT_EQ(dlg.CurrentPage(), 0) << "the switch is posted";
    QApplication::processEvents();
    EXPECT_EQ(dlg.CurrentPage(), 1);
    EXPECT_EQ(dlg.CaptionText(), QStringLiteral("Настройки почты"));
    EXPECT_TRUE(dlg.m_page2.IsCreated());
    EXPECT_FALSE(dlg.AddPage(dlg.m_page1, QStringLiteral("x"))) << "no pages once shown";
}

} // namespace

TEST(SettingsDialog, ArchivePageNamesTheSharedDatabaseAndItReachesTheLocation) {
    App();
    CViewSettings s = Stored();
    s.m_szArchiveFile = QStringLiteral("/srv/ecg/archive.sqlite");
    {
        CSettingsDialog dlg(nullptr, [] { return Ports({"COM2"}); });
        dlg.CopyIn(s);
        dlg.show();
        ASSERT_TRUE(dlg.ShowPage(3));
        CDlgArchiveCfg& page = dlg.m_page4;
        EXPECT_TRUE(page.EnableBox()->isChecked());
        EXPECT_EQ(page.FileEdit()->text(), QStringLiteral("/srv/ecg/archive.sqlite"));
        EXPECT_FALSE(page.HostEdit()->isEnabled()) << "a file archive: the server is greyed";
        page.SharedBox()->click();
        EXPECT_TRUE(page.HostEdit()->isEnabled());
        EXPECT_FALSE(page.FileEdit()->isEnabled());
        page.HostEdit()->setText(QStringLiteral(" db.clinic.local "));
        page.PasswordEdit()->setText(QStringLiteral("s3cret"));
        EXPECT_EQ(page.PasswordEdit()->echoMode(), QLineEdit::Password);
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        dlg.CopyOut(s);
    }
    EXPECT_EQ(s.m_szArchiveKind, QStringLiteral("postgresql"));
    EXPECT_EQ(s.m_szArchiveHost, QStringLiteral("db.clinic.local"));
    EXPECT_EQ(s.m_szArchivePassword, QStringLiteral("s3cret"));
    EXPECT_EQ(s.m_szArchiveFile, QStringLiteral("/srv/ecg/archive.sqlite")) << "kept for later";
    // The location the settings name: without a database it is refused, with one it is whole.
    CArchiveLocation where;
    QString why;
    EXPECT_FALSE(CArchiveLocation::FromSettings(s, where, &why));
    s.m_szArchiveDatabase = QStringLiteral("ecg");
    ASSERT_TRUE(CArchiveLocation::FromSettings(s, where, &why)) << why.toStdString();
    EXPECT_EQ(where.kind, CArchiveLocation::Kind::Postgresql);
    EXPECT_EQ(where.host, QStringLiteral("db.clinic.local"));
    EXPECT_EQ(where.password, QStringLiteral("s3cret"));
}

TEST(SettingsDialog, PacsPageHoldsTheHospitalSystemsHostAndPort) {
    App();
    CViewSettings s = Stored();
    s.m_szHisHost = QStringLiteral("his.clinic.local");
    s.m_nHisPort = 6661;
    s.m_szPacsHost = QStringLiteral("pacs.clinic.local");
    s.m_szWorklistHost = QStringLiteral("ris.clinic.local");
    s.m_szWorklistAETitle = QStringLiteral("RIS");
    {
        CSettingsDialog dlg(nullptr, [] { return Ports({"COM2"}); });
        dlg.CopyIn(s);
        dlg.show();
        ASSERT_TRUE(dlg.ShowPage(2));
        EXPECT_EQ(dlg.m_page3.HisHostEdit()->text(), QStringLiteral("his.clinic.local"));
        EXPECT_EQ(dlg.m_page3.HisPortEdit()->text(), QStringLiteral("6661"));
        EXPECT_EQ(dlg.m_page3.WorklistHostEdit()->text(), QStringLiteral("ris.clinic.local"));
        EXPECT_EQ(dlg.m_page3.WorklistAETitleEdit()->text(), QStringLiteral("RIS"));
        dlg.m_page3.HisHostEdit()->setText(QStringLiteral(" 10.0.0.5 "));
        dlg.m_page3.HisPortEdit()->setText(QStringLiteral("2575"));
        dlg.m_page3.WorklistHostEdit()->setText(QStringLiteral(" 10.0.0.6 "));
        dlg.m_page3.WorklistPortEdit()->setText(QStringLiteral("11112"));
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        dlg.CopyOut(s);
    }
    EXPECT_EQ(s.m_szHisHost, QStringLiteral("10.0.0.5"));
    EXPECT_EQ(s.m_nHisPort, 2575);
    EXPECT_EQ(s.m_szPacsHost, QStringLiteral("pacs.clinic.local")) << "the PACS beside it kept";
    EXPECT_EQ(s.m_szWorklistHost, QStringLiteral("10.0.0.6"));
    EXPECT_EQ(s.m_nWorklistPort, 11112);
    EXPECT_EQ(s.m_szWorklistAETitle, QStringLiteral("RIS"));
    // Stored in [PACS] and read back.
    QTemporaryDir dir;
    SetIniFileOverride(dir.filePath(QStringLiteral("velmora.ini")));
    ASSERT_TRUE(s.UpdateIni(false));
    CViewSettings back;
    const bool read = back.UpdateIni(true);
    SetIniFileOverride(QString());
    ASSERT_TRUE(read);
    EXPECT_EQ(back.m_szWorklistHost, QStringLiteral("10.0.0.6"));
    EXPECT_EQ(back.m_nWorklistPort, 11112);
    EXPECT_EQ(back.m_szWorklistAETitle, QStringLiteral("RIS"));
}
