// The send dialog: proposed subject, histories of recipients and subjects, cancel saves nothing.

#include "dialogs/history_combo.h"
#include "dialogs/send_email_dlg.h"
#include "dialogs_test_support.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

using SendEmailDlg = HistoryProfileTest;

TEST_F(SendEmailDlg, ProposesTheSubjectAndKeepsBothHistoriesOnlyWhenConfirmed) {
    {
        CSendEmailDlg dlg;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("отослать карточку по E-Mail"));
        EXPECT_EQ(dlg.SubjectBox()->currentText(), QStringLiteral("Карточка пациента"));
        dlg.RecipientBox()->setEditText(QStringLiteral("a@example.org, b@example.org"));
        dlg.reject();
    }
    EXPECT_FALSE(HasEntry(QStringLiteral("Recipent0"))) << "cancel saves nothing";
    {
        CSendEmailDlg dlg;
        dlg.RecipientBox()->setEditText(QStringLiteral("doctor@example.org"));
        dlg.SubjectBox()->setEditText(QString()); // an empty subject passes as it is
        dlg.NoteEdit()->setPlainText(QStringLiteral("ЭКГ в покое"));
        dlg.accept();
        EXPECT_EQ(dlg.m_strRecipient, QStringLiteral("doctor@example.org"));
        EXPECT_EQ(dlg.m_strSubject, QString());
        EXPECT_EQ(dlg.m_strNote, QStringLiteral("ЭКГ в покое"));
    }
    EXPECT_EQ(Entry(QStringLiteral("Recipent0")), QStringLiteral("doctor@example.org"));
    EXPECT_FALSE(HasEntry(QStringLiteral("Subject0"))) << "an empty subject is not remembered";
    {
        CSendEmailDlg dlg;
        EXPECT_EQ(dlg.RecipientBox()->currentText(), QStringLiteral("doctor@example.org"))
            << "the last recipient is offered again";
        EXPECT_EQ(dlg.SubjectBox()->currentText(), QStringLiteral("Карточка пациента"));
    }
}

} // namespace
