#pragma once
// A record window: an MDI child frame around one view and the record commands on its document.
// The view owns the record's reception and draws it; the commands act on the document; the frame
// joins the two (what the commands report, the view shows) and keeps the window's title.

#include <QMdiSubWindow>

class CChildView;
class CRecordCommands;
class QLabel;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);
    ~CChildFrame() override;

    CChildView* View() const { return m_wndView; }
    CRecordCommands* Commands() const { return m_pCommands; }
    // The line under the chart: the record's measurements or the live heart rate.
    QLabel* MeasurementLine() const { return m_pMeasurements; }
    void OnFileClose();
    // Starts or stops the reception; a start asks first when the record shown is in no file.
    void OnEkard();

    QString m_strRecordTitle; // the window's title once a record has been taken

protected:
    void focusInEvent(QFocusEvent* e) override;
    // Esc stops a send to the PACS before the view sees the key.
    bool eventFilter(QObject* watched, QEvent* e) override;
    // A window whose record or card is in no file closes only when the user says so.
    void closeEvent(QCloseEvent* e) override;

private:
    void OnSetFocus();
    CChildView* m_wndView;
    CRecordCommands* m_pCommands;
    QLabel* m_pMeasurements;
};
