#include "app/child_frame.h"

#include "widgets/child_view.h"

#include "widgets/toolbar_pictures.h"

#include <QFileInfo>
#include <QIcon>
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
    m_wndView->setWindowTitle(QStringLiteral("новая кардиограмма"));
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
    connect(m_wndView, &CChildView::WindowTitleChanged, this, &QWidget::setWindowTitle);
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

void CChildFrame::OnSetFocus() {
    if (!m_strRecordTitle.isEmpty())
        setWindowTitle(m_strRecordTitle);
    m_wndView->setFocus();
}

void CChildFrame::OnFileClose() {
    close(); // destroys the frame and its view; the view closes an open port
}
