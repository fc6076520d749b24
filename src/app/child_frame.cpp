#include "app/child_frame.h"

#include "commands/record_commands.h"
#include "platform/printable_text.h"
#include "widgets/child_view.h"
#include "widgets/toolbar_pictures.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The view is built first: it allocates the record, reads the settings, resets the session.
    // The view, and under it the line of the record's automatic measurements.
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_wndView = new CChildView(body);
    m_wndView->setWindowTitle(tr("новая кардиограмма"));
    m_pMeasurements = new QLabel(body);
    m_pMeasurements->setWordWrap(true);
    m_pMeasurements->setContentsMargins(6, 3, 6, 3);
    m_pMeasurements->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pMeasurements->hide();
    layout->addWidget(m_wndView, 1);
    layout->addWidget(m_pMeasurements);
    setWidget(body);
    connect(m_wndView, &CChildView::MeasurementLineChanged, this, [this](const QString& line) {
        m_pMeasurements->setText(line);
        m_pMeasurements->setVisible(!line.isEmpty());
    });
    setWindowIcon(QIcon(QPixmap::fromImage(MakeToolbarStrip().copy(0, 0, 32, 32))));
    setWindowTitle(QString()); // the first line of the record window strings: empty
    connect(m_wndView, &CChildView::RecordTitleChanged, this, [this](const QString& title) {
        m_strRecordTitle = title;
        setWindowTitle(title);
    });
    // An opened or saved record names the window after its file.
    CEcgDocument& document = m_wndView->Document();
    connect(&document, &CEcgDocument::FileChanged, this,
            [this, &document] { setWindowTitle(PrintableName(document.FileTitle())); });
    m_pCommands = new CRecordCommands(document, m_wndView->Settings(), m_wndView, this);
    connect(m_pCommands, &CRecordCommands::Started, m_wndView, &CChildView::CloseBalloons);
    connect(m_pCommands, &CRecordCommands::Processing, m_wndView, &CChildView::ShowProcessing);
    connect(m_pCommands, &CRecordCommands::Failed, m_wndView,
            [this](const QString& message, FailurePlace place) {
                if (place == FailurePlace::ScreenCentre)
                    m_wndView->ErrorAtScreenCentre(message);
                else
                    m_wndView->Error(message);
            });
    connect(m_pCommands, &CRecordCommands::Informed, m_wndView, &CChildView::Inform);
    connect(m_pCommands, &CRecordCommands::StateChanged, m_wndView, &CChildView::StateChanged);
    m_wndView->installEventFilter(this);
    // Where the finished record was kept goes into the title beside its time.
    connect(m_wndView, &CChildView::RecordKept, this, [this](const QString& path) {
        m_strRecordTitle += QStringLiteral(" — received/") + QFileInfo(path).fileName();
        setWindowTitle(m_strRecordTitle);
    });
    connect(this, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates, Qt::WindowStates now) {
                if (now & Qt::WindowActive)
                    OnSetFocus();
            });
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::focusInEvent(QFocusEvent* e) {
    QMdiSubWindow::focusInEvent(e);
    OnSetFocus();
}

bool CChildFrame::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_wndView && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && m_pCommands->CancelSend())
        return true;
    return QMdiSubWindow::eventFilter(watched, e);
}

void CChildFrame::OnSetFocus() {
    // The file the record was opened from or saved as names it; else the reception's title.
    const QString file = m_wndView->Document().FileTitle();
    const QString title = file.isEmpty() ? m_strRecordTitle : PrintableName(file);
    if (!title.isEmpty())
        setWindowTitle(title);
    m_wndView->setFocus();
}

void CChildFrame::OnEkard() {
    // Starting a reception replaces the record shown: not without asking when it is in no file.
    if (!m_wndView->Session().m_bSessionOn &&
        !m_pCommands->ConfirmDiscard(tr("Начать новый приём")))
        return;
    m_wndView->OnEkard();
}

void CChildFrame::closeEvent(QCloseEvent* e) {
    if (!m_pCommands->ConfirmDiscard(tr("Закрыть окно"))) {
        e->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(e);
}

void CChildFrame::OnFileClose() {
    close(); // destroys the frame and its view; the view closes an open port
}
