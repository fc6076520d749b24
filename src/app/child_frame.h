#pragma once
// A record window: an MDI child frame around one view. The view owns the record and its
// reception; the frame keeps the window's title once a record has been taken.

#include <QMdiSubWindow>

class CChildView;
class QLabel;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);
    ~CChildFrame() override;

    CChildView* View() const { return m_wndView; }
    // The line under the chart: the record's measurements or the live heart rate.
    QLabel* MeasurementLine() const { return m_pMeasurements; }
    void OnFileClose();

    QString m_strRecordTitle; // the window's title once a record has been taken

protected:
    void focusInEvent(QFocusEvent* e) override;

private:
    void OnSetFocus();
    CChildView* m_wndView;
    QLabel* m_pMeasurements;
};
