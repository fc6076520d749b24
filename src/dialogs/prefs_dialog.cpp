#include "dialogs/prefs_dialog.h"

#include "dialogs/dialog_buttons.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

CSAPrefsDialog::CSAPrefsDialog(QWidget* parent)
    : QDialog(parent), m_pTree(new QTreeWidget(this)), m_pCaption(new QLabel(this)),
      m_pFrame(new QWidget(this)) {
    m_strTitle = tr("Конфигурация");
    m_pTree->setHeaderHidden(true);
    m_pTree->setMinimumWidth(170);
    // The caption strip: the page's caption in bold on the button face.
    QFont strip(QStringLiteral("Verdana"));
    strip.setPixelSize(14);
    strip.setWeight(QFont::Bold);
    m_pCaption->setFont(strip);
    m_pCaption->setAutoFillBackground(true);
    m_pCaption->setBackgroundRole(QPalette::Button);
    m_pCaption->setMargin(4);
    m_pFrame->setLayout(new QVBoxLayout);
    m_pFrame->layout()->setContentsMargins(2, 2, 2, 2);

    QDialogButtonBox* buttons = MakeApplyCancelButtons(this);

    auto* right = new QVBoxLayout;
    right->addWidget(m_pCaption);
    right->addWidget(m_pFrame, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_pTree);
    top->addLayout(right, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(buttons);

    connect(m_pTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        const int index = item->data(0, Qt::UserRole).toInt();
        if (index == m_iCurPage)
            return;
        if (m_bValidateBeforeChangingPages && m_iCurPage >= 0 &&
            !m_pages[size_t(m_iCurPage)].pSubDlg->Validate()) {
            const QSignalBlocker block(m_pTree);
            m_pTree->setCurrentItem(m_pages[size_t(m_iCurPage)].pItem);
            return;
        }
        // Switched after the tree has finished its own selection change.
        QMetaObject::invokeMethod(
            this, [this, index] { OnChangePage(index); }, Qt::QueuedConnection);
    });
}

bool CSAPrefsDialog::AddPage(CSAPrefsSubDlg& page, const QString& caption, CSAPrefsSubDlg* parent) {
    if (m_bInitialised)
        return false;
    m_pages.push_back(SPrefsPage{&page, parent, caption});
    page.setParent(m_pFrame);
    page.hide();
    return true;
}

void CSAPrefsDialog::showEvent(QShowEvent* e) {
    if (!m_bInitialised)
        OnInitDialog();
    QDialog::showEvent(e);
}

void CSAPrefsDialog::OnInitDialog() {
    m_bInitialised = true;
    setWindowTitle(m_strTitle);
    for (size_t i = 0; i < m_pages.size(); ++i) {
        SPrefsPage& p = m_pages[i];
        QTreeWidgetItem* parentItem = nullptr;
        for (const SPrefsPage& other : m_pages)
            if (p.pParentDlg && other.pSubDlg == p.pParentDlg)
                parentItem = other.pItem;
        p.pItem = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_pTree);
        p.pItem->setText(0, p.strCaption);
        p.pItem->setData(0, Qt::UserRole, int(i));
    }
    m_pTree->expandAll();
    if (!ShowPage(m_pStartPage))
        ShowPage(0);
}

QString CSAPrefsDialog::CaptionText() const {
    return m_pCaption->text();
}

bool CSAPrefsDialog::ShowPage(CSAPrefsSubDlg* page) {
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (page && m_pages[i].pSubDlg == page)
            return ShowPage(int(i));
    return false;
}

bool CSAPrefsDialog::ShowPage(int index) {
    m_pCaption->setText(m_strConstantText);
    if (m_iCurPage >= 0 && size_t(m_iCurPage) < m_pages.size())
        m_pages[size_t(m_iCurPage)].pSubDlg->hide();
    if (index < 0 || size_t(index) >= m_pages.size())
        return false;
    SPrefsPage& p = m_pages[size_t(index)];
    m_pCaption->setText(m_strConstantText + p.strCaption);
    if (!p.pSubDlg->m_bCreated) {
        p.pSubDlg->m_bCreated = true; // built on the first showing only
        p.pSubDlg->OnInitDialog();
        m_pFrame->layout()->addWidget(p.pSubDlg);
    }
    p.pSubDlg->show();
    p.pSubDlg->setFocus();
    m_iCurPage = index;
    if (p.pItem) {
        const QSignalBlocker block(m_pTree);
        m_pTree->setCurrentItem(p.pItem);
    }
    return true;
}

void CSAPrefsDialog::OnChangePage(int index) {
    ShowPage(index);
}

bool CSAPrefsDialog::EndOK() {
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].pSubDlg->m_bCreated && !m_pages[i].pSubDlg->Validate()) {
            ShowPage(int(i));
            return false;
        }
    for (const SPrefsPage& p : m_pages) {
        if (!p.pSubDlg->m_bCreated)
            continue; // never shown: keeps the values it was given
        p.pSubDlg->OnOK();
        if (!p.pSubDlg->IsClose())
            return false;
    }
    return true;
}

void CSAPrefsDialog::accept() {
    if (EndOK())
        QDialog::accept();
}

void CSAPrefsDialog::reject() {
    for (const SPrefsPage& p : m_pages)
        if (p.pSubDlg->m_bCreated)
            p.pSubDlg->OnCancel();
    QDialog::reject();
}

void CSAPrefsDialog::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        e->accept(); // Escape closes nothing here
        return;
    }
    QDialog::keyPressEvent(e);
}
