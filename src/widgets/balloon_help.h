#pragma once
// A balloon for errors raised outside a dialog: a small topmost popup with a tail pointing at an
// anchor, the error icon, a title, the text and a close button. It never takes the focus, blocks
// nothing and stays until its close button is pressed; it deletes itself when closed. While a
// modal dialog is up the balloon steps aside (it could not be closed, and would cover the
// dialog) and comes back when the dialog has gone.

#include <QPoint>
#include <QPointer>
#include <QWidget>

class QPropertyAnimation;

class CBalloonHelp : public QWidget {
public:
    static constexpr int nTIP_TAIL = 20;
    static constexpr int nTIP_MARGIN = 8;

    // Shows a new balloon with title and text pointing at anchor (global coordinates). Returns
    // null when the application has no main window to own it.
    static CBalloonHelp* Create(const QString& title, const QString& text, QPoint anchor);

    QPoint Anchor() const { return m_anchor; }
    bool OpensBelow() const { return m_bBelow; }
    bool ExtendsRight() const { return m_bRight; }
    QRect CloseButtonRect() const;
    // Hides (fading when the desktop animates menus) and deletes the balloon.
    void CloseBalloon();
    // Hidden for a modal dialog, to be shown again when it has gone.
    bool WaitsForModal() const { return m_bWaitsForModal; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    CBalloonHelp(QWidget* owner, const QString& title, const QString& text, QPoint anchor);
    void Place();
    QRect BodyRect() const;

    QString m_strTitle, m_strText;
    QPoint m_anchor;
    bool m_bBelow = true, m_bRight = true;
    bool m_bCloseDown = false, m_bClosing = false;
    bool m_bWaitsForModal = false;
    QSize m_content;
    QPointer<QPropertyAnimation> m_pFade;
};

// An error balloon: title "Внимание!" (string 145), the message with "\n" appended, at anchor.
CBalloonHelp* ShowErrorBalloon(const QString& message, QPoint anchor);
// The error balloon of a failed save: title "Внимание!", the message with "\n" appended,
// pointing at the centre of the primary screen wherever the main window is.
CBalloonHelp* ShowErrorAtScreenCentre(const QString& message);

// Fading is used when the desktop's settings animate and fade menus.
bool BalloonFades();
