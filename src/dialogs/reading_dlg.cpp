#include "dialogs/reading_dlg.h"
#include "dialogs/status_text.h"

#include "analysis/comparison.h"
#include "platform/ui_language.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// An item's statement: its code and texts, kept with the item.
constexpr int kCodeRole = Qt::UserRole, kTextRole = Qt::UserRole + 1,
              kEnglishRole = Qt::UserRole + 2;

// The interface locale's short date and time, with the year in full: a reading is looked up
// years after it was signed.
QString When(const SYSTEMTIME& t) {
    const QLocale locale;
    QString strFormat =
        locale.dateFormat(QLocale::ShortFormat) + u' ' + locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    strFormat.replace(twoDigitYear, QStringLiteral("yyyy"));
    return locale.toString(QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute)),
                           strFormat);
}

// The statement's text in the interface's language.
QString Shown(const CReadStatement& s) {
    return QString::fromStdString(InUiLanguage(s.text, s.textEn));
}

QListWidgetItem* StatementItem(const CReadStatement& s, bool bCheckable) {
    auto* item = new QListWidgetItem(Shown(s));
    item->setData(kCodeRole, QString::fromStdString(s.code));
    item->setData(kTextRole, QString::fromStdString(s.text));
    item->setData(kEnglishRole, QString::fromStdString(s.textEn));
    if (bCheckable) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    return item;
}

} // namespace

bool AskNewDoctor(CArchive& archive, QWidget* parent, QString* made) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("NewDoctorDialog"));
    dlg.setWindowTitle(QCoreApplication::translate("CReadingDlg", "Новый врач"));
    auto* login = new QLineEdit(&dlg);
    login->setObjectName(QStringLiteral("Login"));
    auto* name = new QLineEdit(&dlg);
    name->setObjectName(QStringLiteral("Name"));
    auto* position = new QLineEdit(&dlg);
    position->setObjectName(QStringLiteral("Position"));
    auto* password = new QLineEdit(&dlg);
    password->setObjectName(QStringLiteral("NewPassword"));
    auto* repeat = new QLineEdit(&dlg);
    repeat->setObjectName(QStringLiteral("Repeat"));
    for (QLineEdit* e : {password, repeat})
        e->setEchoMode(QLineEdit::Password);
    auto* said = new QLabel(&dlg);
    said->setWordWrap(true);
    auto* form = new QFormLayout(&dlg);
    form->addRow(QCoreApplication::translate("CReadingDlg", "Имя для входа (латиницей)"), login);
    form->addRow(QCoreApplication::translate("CReadingDlg", "ФИО"), name);
    form->addRow(QCoreApplication::translate("CReadingDlg", "Должность"), position);
    form->addRow(QCoreApplication::translate("CReadingDlg", "Пароль (не короче %1 знаков)")
                     .arg(CArchive::kMinimumPasswordLength),
                 password);
    form->addRow(QCoreApplication::translate("CReadingDlg", "Пароль ещё раз"), repeat);
    form->addRow(said);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    box->button(QDialogButtonBox::Ok)
        ->setText(QCoreApplication::translate("CReadingDlg", "Создать"));
    box->button(QDialogButtonBox::Cancel)
        ->setText(QCoreApplication::translate("CReadingDlg", "Отмена"));
    form->addRow(box);
    QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, [&] {
        if (password->text() != repeat->text()) {
            said->setText(QCoreApplication::translate("CReadingDlg", "Пароли не совпадают."));
            return;
        }
        QString why;
        if (!archive.AddDoctor({0, login->text().trimmed(), name->text(), position->text(), {}},
                               password->text().toUtf8(), &why)) {
            said->setText(
                QCoreApplication::translate("CReadingDlg", "Учётная запись не создана: %1")
                    .arg(why));
            return;
        }
        dlg.accept();
    });
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *made = login->text().trimmed();
    return true;
}

CReadingDlg::CReadingDlg(const CArchiveLocation& where, qint64 recordId,
                         const CStatementSettings& how, QWidget* parent)
    : QDialog(parent), m_pArchive(std::make_unique<CArchive>()), m_nRecord(recordId), m_how(how) {
    setObjectName(QStringLiteral("ReadingDialog"));
    setWindowTitle(tr("Заключение"));
    resize(760, 640);

    m_pState = new QLabel(this);
    m_pState->setObjectName(QStringLiteral("State"));
    m_pStatements = new QListWidget(this);
    m_pStatements->setObjectName(QStringLiteral("Statements"));
    m_pStatements->setToolTip(tr("Снимите отметку, чтобы убрать утверждение из заключения"));
    m_pFind = new QLineEdit(this);
    m_pFind->setObjectName(QStringLiteral("Find"));
    m_pFind->setPlaceholderText(tr("Найти утверждение"));
    m_pFind->setClearButtonEnabled(true);
    m_pCatalogue = new QListWidget(this);
    m_pCatalogue->setObjectName(QStringLiteral("Catalogue"));
    m_pCatalogue->setMaximumHeight(140);
    auto* add = new QPushButton(tr("Добавить"), this);
    add->setObjectName(QStringLiteral("Add"));
    m_pConclusion = new QPlainTextEdit(this);
    m_pConclusion->setObjectName(QStringLiteral("Conclusion"));
    m_pConclusion->setPlaceholderText(tr("Заключение врача своими словами"));
    m_pConclusion->setMaximumHeight(90);
    m_pDoctor = new QComboBox(this);
    m_pDoctor->setObjectName(QStringLiteral("Doctor"));
    m_pPassword = new QLineEdit(this);
    m_pPassword->setObjectName(QStringLiteral("Password"));
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pReasonLabel = new QLabel(tr("Причина изменения"), this);
    m_pReason = new QLineEdit(this);
    m_pReason->setObjectName(QStringLiteral("Reason"));
    m_pVersions = new QTextBrowser(this);
    m_pVersions->setObjectName(QStringLiteral("Versions"));
    m_pVersions->setMaximumHeight(110);
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("Status"));
    m_pStatus->setWordWrap(true);

    for (const auto& catalogue : {analysis::StatementCatalogue(), analysis::ChangeCatalogue()})
        for (const analysis::StatementKind& k : catalogue)
            m_pCatalogue->addItem(StatementItem({k.code, k.russian, k.english}, false));

    auto* find = new QHBoxLayout;
    find->addWidget(m_pFind, 1);
    find->addWidget(add);
    auto* sign = new QFormLayout;
    auto* doctorRow = new QHBoxLayout;
    auto* newDoctor = new QPushButton(tr("Новый врач..."), this);
    newDoctor->setObjectName(QStringLiteral("NewDoctor"));
    doctorRow->addWidget(m_pDoctor, 1);
    doctorRow->addWidget(newDoctor);
    sign->addRow(tr("Врач"), doctorRow);
    sign->addRow(tr("Пароль"), m_pPassword);
    sign->addRow(m_pReasonLabel, m_pReason);

    m_pConfirm = new QPushButton(tr("Подтвердить"), this);
    m_pConfirm->setObjectName(QStringLiteral("Confirm"));
    auto* draft = new QPushButton(tr("Сохранить черновик"), this);
    draft->setObjectName(QStringLiteral("SaveDraft"));
    auto* close = new QPushButton(tr("Закрыть"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pConfirm);
    buttons->addWidget(draft);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pState);
    layout->addWidget(new QLabel(tr("Утверждения"), this));
    layout->addWidget(m_pStatements, 1);
    layout->addLayout(find);
    layout->addWidget(m_pCatalogue);
    layout->addWidget(new QLabel(tr("Заключение врача"), this));
    layout->addWidget(m_pConclusion);
    layout->addLayout(sign);
    layout->addWidget(new QLabel(tr("Подтверждённые версии"), this));
    layout->addWidget(m_pVersions);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);

    connect(m_pFind, &QLineEdit::textChanged, this, &CReadingDlg::FilterCatalogue);
    connect(add, &QPushButton::clicked, this, &CReadingDlg::AddChosen);
    connect(m_pCatalogue, &QListWidget::itemDoubleClicked, this, &CReadingDlg::AddChosen);
    connect(m_pConfirm, &QPushButton::clicked, this, &CReadingDlg::OnConfirm);
    connect(draft, &QPushButton::clicked, this, &CReadingDlg::OnSaveDraft);
    connect(newDoctor, &QPushButton::clicked, this, &CReadingDlg::OnNewDoctor);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    QString why;
    if (!m_pArchive->Open(where, &why)) {
        Say(tr("Архив не открыт: %1").arg(why), true);
        m_pConfirm->setEnabled(false);
        draft->setEnabled(false);
        return;
    }
    Load();
}

CReadingDlg::~CReadingDlg() = default;

void CReadingDlg::Say(const QString& text, bool bError) {
    SetStatusText(m_pStatus, text);
    m_pStatus->setStyleSheet(bError ? QStringLiteral("color: #c00000") : QString());
}

void CReadingDlg::Load() {
    QString why;
    std::vector<CDoctorReading> versions;
    std::vector<CDoctorAccount> doctors;
    CDoctorReading draft;
    bool hasDraft = false;
    std::vector<CReadStatement> proposal;
    // The proposal only where the doctor starts from it: the archive logs a new one.
    if (!m_pArchive->Readings(m_nRecord, versions, &why) || !m_pArchive->Doctors(doctors, &why) ||
        !m_pArchive->Draft(m_nRecord, draft, &hasDraft, &why) ||
        (versions.empty() && !hasDraft &&
         !m_pArchive->Proposal(m_nRecord, m_how, proposal, &why))) {
        Say(tr("Заключение не прочитано из архива: %1").arg(why), true);
        return;
    }
    m_current = versions.empty() ? CDoctorReading{} : versions.back();
    const bool confirmed = m_current.Confirmed();
    m_pState->setText(confirmed ? tr("Подтверждено: %1, %2 (версия %3)")
                                      .arg(QString::fromStdString(m_current.doctorName),
                                           When(m_current.confirmedAt))
                                      .arg(m_current.version)
                                : tr("Не подтверждено врачом"));
    m_pConfirm->setText(confirmed ? tr("Внести изменение") : tr("Подтвердить"));
    m_pReasonLabel->setVisible(confirmed);
    m_pReason->setVisible(confirmed);
    const CDoctorReading& start = confirmed ? m_current : hasDraft ? draft : CDoctorReading{};
    ShowStatements(confirmed || hasDraft ? start.statements : proposal);
    m_pConclusion->setPlainText(QString::fromStdString(start.conclusion));

    QString text;
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        text +=
            tr("<b>Версия %1</b>: %2, %3")
                .arg(it->version)
                .arg(QString::fromStdString(it->doctorName).toHtmlEscaped(), When(it->confirmedAt));
        if (!it->amendReason.empty())
            text +=
                tr(" (причина: %1)").arg(QString::fromStdString(it->amendReason).toHtmlEscaped());
        text += QStringLiteral("<ul>");
        for (const CReadStatement& s : it->statements)
            text += QStringLiteral("<li>%1</li>").arg(Shown(s).toHtmlEscaped());
        if (!it->conclusion.empty())
            text += QStringLiteral("<li>%1</li>")
                        .arg(QString::fromStdString(it->conclusion).toHtmlEscaped());
        text += QStringLiteral("</ul>");
    }
    m_pVersions->setHtml(text.isEmpty() ? tr("Нет") : text);

    const QString chosen = m_pDoctor->currentData().toString();
    m_pDoctor->clear();
    for (const CDoctorAccount& d : doctors)
        m_pDoctor->addItem(d.position.isEmpty() ? d.name
                                                : QStringLiteral("%1, %2").arg(d.name, d.position),
                           d.login);
    if (const int i = m_pDoctor->findData(chosen); i >= 0)
        m_pDoctor->setCurrentIndex(i);
    if (doctors.empty())
        Say(tr("В архиве ещё нет учётных записей врачей: создайте свою кнопкой «Новый врач...»."),
            false);
}

void CReadingDlg::ShowStatements(const std::vector<CReadStatement>& statements) {
    m_pStatements->clear();
    for (const CReadStatement& s : statements)
        m_pStatements->addItem(StatementItem(s, true));
}

void CReadingDlg::FilterCatalogue() {
    const QString text = m_pFind->text().trimmed();
    for (int i = 0; i < m_pCatalogue->count(); ++i) {
        QListWidgetItem* item = m_pCatalogue->item(i);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive) &&
                        !item->data(kCodeRole).toString().contains(text, Qt::CaseInsensitive));
    }
}

void CReadingDlg::AddChosen() {
    QListWidgetItem* chosen = m_pCatalogue->currentItem();
    if (!chosen || chosen->isHidden())
        return;
    // A statement in the list already is kept rather than said twice.
    for (int i = 0; i < m_pStatements->count(); ++i) {
        QListWidgetItem* item = m_pStatements->item(i);
        if (item->data(kCodeRole) == chosen->data(kCodeRole)) {
            item->setCheckState(Qt::Checked);
            m_pStatements->setCurrentItem(item);
            return;
        }
    }
    m_pStatements->addItem(StatementItem({chosen->data(kCodeRole).toString().toStdString(),
                                          chosen->data(kTextRole).toString().toStdString(),
                                          chosen->data(kEnglishRole).toString().toStdString()},
                                         true));
}

CDoctorReading CReadingDlg::Edited() const {
    CDoctorReading r;
    for (int i = 0; i < m_pStatements->count(); ++i) {
        const QListWidgetItem* item = m_pStatements->item(i);
        if (item->checkState() == Qt::Checked)
            r.statements.push_back({item->data(kCodeRole).toString().toStdString(),
                                    item->data(kTextRole).toString().toStdString(),
                                    item->data(kEnglishRole).toString().toStdString()});
    }
    r.conclusion = m_pConclusion->toPlainText().trimmed().toStdString();
    return r;
}

void CReadingDlg::OnConfirm() {
    if (m_pDoctor->currentIndex() < 0) {
        Say(tr("Выберите врача или создайте учётную запись."), true);
        return;
    }
    CDoctorReading done;
    QString why;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = m_pArchive->Confirm(m_nRecord, Edited(), m_pDoctor->currentData().toString(),
                                        m_pPassword->text().toUtf8(), m_current.version,
                                        m_pReason->text(), &done, &why);
    QApplication::restoreOverrideCursor();
    m_pPassword->clear();
    if (!ok) {
        Say(tr("Не подтверждено: %1").arg(why), true);
        return;
    }
    m_pReason->clear();
    Load();
    Say(tr("Подтверждено: %1, %2")
            .arg(QString::fromStdString(done.doctorName), When(done.confirmedAt)),
        false);
    emit Confirmed(done);
}

void CReadingDlg::OnSaveDraft() {
    if (m_current.Confirmed()) {
        Say(tr("Подтверждённое заключение меняется только изменением с причиной."), true);
        return;
    }
    QString why;
    if (m_pArchive->SaveDraft(m_nRecord, Edited(), &why))
        Say(tr("Черновик сохранён."), false);
    else
        Say(tr("Черновик не сохранён: %1").arg(why), true);
}

void CReadingDlg::OnNewDoctor() {
    QString made;
    if (!AskNewDoctor(*m_pArchive, this, &made))
        return;
    Load();
    if (const int i = m_pDoctor->findData(made); i >= 0)
        m_pDoctor->setCurrentIndex(i);
    Say(tr("Учётная запись %1 создана.").arg(made), false);
}
