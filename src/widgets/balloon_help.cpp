#include "widgets/balloon_help.h"

#include "platform/reason_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int kFadeMs = 200;

QFont TextFont() {
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

QFont TitleFont() {
    QFont f = TextFont();
    f.setWeight(QFont::Bold);
    return f;
}

int IconSize() {
    return qMax(QApplication::style()->pixelMetric(QStyle::PM_TitleBarButtonIconSize),
                QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize));
}

int CloseSize() {
    return qMax(16, QApplication::style()->pixelMetric(QStyle::PM_TitleBarButtonIconSize));
}

} // namespace

bool BalloonFades() {
    return QApplication::isEffectEnabled(Qt::UI_AnimateMenu) &&
           QApplication::isEffectEnabled(Qt::UI_FadeMenu);
}

CBalloonHelp* CBalloonHelp::Create(const QString& title, const QString& text, QPoint anchor,
                                   QWidget* subject, Kind kind) {
    QWidget* owner = QApplication::activePopupWidget();
    if (!owner) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMainWindow")) {
                owner = w;
                break;
            }
    }
    if (!owner)
        return nullptr; // nobody to own it: not shown
    auto* balloon = new CBalloonHelp(owner, title, text, anchor, subject, kind);
    if (QApplication::activeModalWidget()) {
        // Raised behind a modal dialog (a send completing in another window): it is shown
        // when the dialog has gone.
        balloon->m_bWaitsForModal = true;
        balloon->winId(); // a native window, so that it hears of the dialog's end
        return balloon;
    }
    balloon->ShowNow();
    return balloon;
}

void CBalloonHelp::ShowNow() {
    m_shown.start();
    if (BalloonFades()) {
        setWindowOpacity(0.0);
        show();
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(kFadeMs);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        show();
    }
}

bool CBalloonHelp::SubjectGone() const {
    return m_bHasSubject && (!m_pSubject || !m_pSubject->isVisible());
}

CBalloonHelp::CBalloonHelp(QWidget* owner, const QString& title, const QString& text, QPoint anchor,
                           QWidget* subject, Kind kind)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      m_strTitle(title), m_strText(text), m_anchor(anchor), m_pSubject(subject),
      m_bHasSubject(subject != nullptr), m_kind(kind) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("BalloonHelp"));
    // The subject's end is the balloon's; the user's next act anywhere else ends it too.
    if (subject) {
        connect(subject, &QObject::destroyed, this, &CBalloonHelp::CloseBalloon);
        subject->installEventFilter(this);
    }
    qApp->installEventFilter(this);

    const QFontMetrics title_m(TitleFont()), text_m(TextFont());
    const QRect textRect = text_m.boundingRect(QRect(0, 0, 400, 2000), Qt::TextWordWrap, m_strText);
    const int header = qMax(qMax(IconSize(), CloseSize()), title_m.height());
    const int width = qMax(IconSize() + nTIP_MARGIN + title_m.horizontalAdvance(m_strTitle) +
                               nTIP_MARGIN + CloseSize(),
                           textRect.width());
    m_content =
        QSize(width + 2 * nTIP_MARGIN, header + nTIP_MARGIN + textRect.height() + 2 * nTIP_MARGIN);
    Place();
}

void CBalloonHelp::Place() {
    // The anchor's screen decides the quadrant: below it in the upper half, above it in the
    // lower half; to the right in the left half, to the left in the right half.
    QScreen* screen = QGuiApplication::screenAt(m_anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    m_bBelow = m_anchor.y() < work.center().y() + (work.height() % 2 ? 1 : 0);
    m_bRight = m_anchor.x() < work.center().x() + (work.width() % 2 ? 1 : 0);
    const QSize size(m_content.width(), m_content.height() + nTIP_TAIL);
    const int tipInset = qMin(nTIP_TAIL + nTIP_MARGIN, size.width() / 3);
    const int x = m_bRight ? m_anchor.x() - tipInset : m_anchor.x() - size.width() + tipInset;
    const int y = m_bBelow ? m_anchor.y() : m_anchor.y() - size.height();
    setGeometry(QRect(QPoint(x, y), size));
}

QRect CBalloonHelp::BodyRect() const {
    return QRect(0, m_bBelow ? nTIP_TAIL : 0, width(), height() - nTIP_TAIL);
}

QRect CBalloonHelp::CloseButtonRect() const {
    const QRect body = BodyRect();
    const int s = CloseSize();
    return QRect(body.right() - nTIP_MARGIN - s + 1, body.top() + nTIP_MARGIN, s, s);
}

bool CBalloonHelp::event(QEvent* e) {
    if (e->type() == QEvent::WindowBlocked && isVisible() && !m_bClosing) {
        m_bWaitsForModal = true;
        hide();
    } else if (e->type() == QEvent::WindowUnblocked && m_bWaitsForModal && !m_bClosing) {
        m_bWaitsForModal = false;
        if (SubjectGone())
            CloseBalloon(); // never back over whatever stands there now
        else
            ShowNow();
    }
    return QWidget::event(e);
}

bool CBalloonHelp::eventFilter(QObject* watched, QEvent* e) {
    if (m_bClosing)
        return false;
    if (watched == m_pSubject && (e->type() == QEvent::Hide || e->type() == QEvent::Close)) {
        CloseBalloon();
        return false;
    }
    const bool input = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress;
    if (!input || !isVisible() || m_bWaitsForModal || !m_shown.isValid() ||
        m_shown.elapsed() < kInputGraceMs)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && (widget == this || isAncestorOf(widget)))
        return false; // its own close button
    CloseBalloon();
    return false;
}

void CBalloonHelp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(BodyRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPointF tip = mapFromGlobal(m_anchor);
    const double base = qBound(body.left() + 10, tip.x() + (m_bRight ? 6 : -6), body.right() - 10);
    QPainterPath path;
    path.addRoundedRect(body, 6, 6);
    QPainterPath tail;
    const double edge = m_bBelow ? body.top() + 1 : body.bottom() - 1;
    tail.moveTo(tip);
    tail.lineTo(base - 7, edge);
    tail.lineTo(base + 7, edge);
    tail.closeSubpath();
    path = path.united(tail);

    const QPalette pal = QApplication::palette();
    p.setPen(QPen(pal.color(QPalette::ToolTipText), 1));
    p.setBrush(pal.color(QPalette::ToolTipBase));
    p.drawPath(path);
    // Inner shadow along the lower and right edges.
    p.setPen(QPen(QColor(0, 0, 0, 40), 2));
    p.drawLine(QPointF(body.left() + 6, body.bottom() - 1.5),
               QPointF(body.right() - 6, body.bottom() - 1.5));

    const QRect b = BodyRect();
    const int icon = IconSize();
    const QIcon err = QApplication::style()->standardIcon(
        m_kind == Kind::Error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation);
    err.paint(&p, QRect(b.left() + nTIP_MARGIN, b.top() + nTIP_MARGIN, icon, icon));
    p.setPen(pal.color(QPalette::ToolTipText));
    p.setFont(TitleFont());
    const QRect titleRect(b.left() + 2 * nTIP_MARGIN + icon, b.top() + nTIP_MARGIN,
                          b.width() - 4 * nTIP_MARGIN - icon - CloseSize(),
                          qMax(icon, CloseSize()));
    p.drawText(titleRect, Qt::AlignVCenter | Qt::AlignLeft, m_strTitle);
    p.setFont(TextFont());
    const QRect textRect(b.left() + nTIP_MARGIN, titleRect.bottom() + nTIP_MARGIN,
                         b.width() - 2 * nTIP_MARGIN,
                         b.bottom() - titleRect.bottom() - nTIP_MARGIN);
    p.drawText(textRect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, m_strText);

    const QRect close = CloseButtonRect();
    p.setPen(QPen(pal.color(QPalette::ToolTipText), m_bCloseDown ? 2.5 : 1.5));
    p.drawLine(close.topLeft() + QPoint(4, 4), close.bottomRight() - QPoint(4, 4));
    p.drawLine(close.topRight() + QPoint(-4, 4), close.bottomLeft() + QPoint(4, -4));
}

void CBalloonHelp::mousePressEvent(QMouseEvent* e) {
    // Only the close button reacts; the rest of the balloon holds no link.
    if (e->button() == Qt::LeftButton && CloseButtonRect().contains(e->position().toPoint())) {
        m_bCloseDown = true;
        update();
    }
}

void CBalloonHelp::mouseReleaseEvent(QMouseEvent* e) {
    const bool over = CloseButtonRect().contains(e->position().toPoint());
    const bool wasDown = m_bCloseDown;
    m_bCloseDown = false;
    update();
    if (wasDown && over && e->button() == Qt::LeftButton)
        CloseBalloon();
}

void CBalloonHelp::CloseBalloon() {
    if (m_bClosing)
        return;
    m_bClosing = true;
    if (BalloonFades() && isVisible()) {
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(kFadeMs);
        fade->setStartValue(windowOpacity());
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, this, [this] { QWidget::close(); });
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        QWidget::close();
    }
}

void CBalloonHelp::closeEvent(QCloseEvent* e) {
    m_bClosing = true;
    e->accept();
}

CBalloonHelp* ShowErrorBalloon(const QString& message, QPoint anchor, QWidget* subject) {
    // A library's or the system's English reason is said in the interface's language; the
    // original stays at hand as the balloon's tooltip.
    const ShownReason shown = ShowableReason(message);
    CBalloonHelp* balloon =
        CBalloonHelp::Create(QApplication::translate("CBalloonHelp", "Внимание!"),
                             shown.text + QLatin1Char('\n'), anchor, subject);
    if (balloon && !shown.detail.isEmpty())
        balloon->setToolTip(shown.detail);
    return balloon;
}

CBalloonHelp* ShowInformationBalloon(const QString& message, QPoint anchor, QWidget* subject) {
    return CBalloonHelp::Create(QApplication::translate("CBalloonHelp", "Сообщение"),
                                message + QLatin1Char('\n'), anchor, subject,
                                CBalloonHelp::Kind::Information);
}

CBalloonHelp* ShowErrorAtScreenCentre(const QString& message, QWidget* subject) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return ShowErrorBalloon(
        message, screen ? screen->geometry().center() + QPoint(1, 1) : QPoint(0, 0), subject);
}
