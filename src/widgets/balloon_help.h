#pragma once
// A balloon for errors and news raised outside a dialog: a small topmost popup with a tail
// pointing at an anchor, the error or information icon, a title, the text and a close button. It
// never takes the focus and blocks nothing; it deletes itself when closed. It belongs to its
// subject (the window it speaks of) and its moment: it goes with its close button, when the
// subject closes or hides, and when the user next clicks or types anywhere else, so that it never
// floats over an unrelated record. While a modal dialog is up the balloon steps aside (it could
// not be closed, and would cover the dialog) and comes back when the dialog has gone, unless its
// subject has gone meanwhile.

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QPropertyAnimation;

class CBalloonHelp : public QWidget {
public:
    static constexpr int nTIP_TAIL = 20;
    static constexpr int nTIP_MARGIN = 8;

    enum class Kind { Error, Information };
    // Input this soon after the balloon appears was begun before it: it does not close it.
    static constexpr int kInputGraceMs = 800;

    // Shows a new balloon with title and text pointing at anchor (global coordinates), about
    // subject (none: the application). Returns null when the application has no main window to
    // own it.
    static CBalloonHelp* Create(const QString& title, const QString& text, QPoint anchor,
                                QWidget* subject = nullptr, Kind kind = Kind::Error);

    QPoint Anchor() const { return m_anchor; }
    const QString& Title() const { return m_strTitle; }
    const QString& Text() const { return m_strText; }
    bool OpensBelow() const { return m_bBelow; }
    bool ExtendsRight() const { return m_bRight; }
    QRect CloseButtonRect() const;
    // Hides (fading when the desktop animates menus) and deletes the balloon.
    void CloseBalloon();
    // Hidden for a modal dialog, to be shown again when it has gone.
    bool WaitsForModal() const { return m_bWaitsForModal; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    CBalloonHelp(QWidget* owner, const QString& title, const QString& text, QPoint anchor,
                 QWidget* subject, Kind kind);
    void ShowNow();
    bool SubjectGone() const;
    void Place();
    QRect BodyRect() const;

    QString m_strTitle, m_strText;
    QPoint m_anchor;
    bool m_bBelow = true, m_bRight = true;
    bool m_bCloseDown = false, m_bClosing = false;
    bool m_bWaitsForModal = false;
    QSize m_content;
    QPointer<QPropertyAnimation> m_pFade;
    QPointer<QWidget> m_pSubject;
    bool m_bHasSubject = false;
    Kind m_kind = Kind::Error;
    QElapsedTimer m_shown;
};

// An error balloon: title "Внимание!" (string 145), the message with "\n" appended, at anchor,
// about subject (none: the application).
CBalloonHelp* ShowErrorBalloon(const QString& message, QPoint anchor, QWidget* subject = nullptr);
// A balloon with news that is no error (a send that went), with the information icon.
CBalloonHelp* ShowInformationBalloon(const QString& message, QPoint anchor, QWidget* subject);
// The error balloon of a failed save: title "Внимание!", the message with "\n" appended,
// pointing at the centre of the primary screen wherever the main window is.
CBalloonHelp* ShowErrorAtScreenCentre(const QString& message, QWidget* subject = nullptr);

// Fading is used when the desktop's settings animate and fade menus.
bool BalloonFades();
