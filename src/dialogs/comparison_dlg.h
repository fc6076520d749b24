#pragma once
// "Сравнение с предыдущей ЭКГ": a record of the archive against the patient's previous record
// (or another of the patient's records chosen in the window). Both records side by side as the
// record window draws them, at one speed and gain; the median beats of each lead laid over each
// other; the measured values of both with their differences; the change statements. Both
// records are read through the filters and rate limits of the window the comparison came from,
// and compared by analysis::CompareRecords, as velmora-cli compare does. "Сохранить отчёт в
// PDF..." writes the comparison report.

#include "archive/archive_store.h"
#include "display/reading_settings.h"
#include "report/comparison_report.h"

#include <QDialog>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QScrollBar;
class QTableWidget;
class CComparisonChart;
class CMedianOverlayView;

// How the records are read: those of the record window the comparison comes from.
struct CComparisonOptions {
    ReadingSettings reading; // filters, speed and gain (a speed of 0: 25 mm/s)
    analysis::InterpretationSettings interpretation;
    QString organisation;
};

class CComparisonDlg : public QDialog {
    Q_OBJECT
public:
    CComparisonDlg(const CArchiveLocation& where, const CComparisonOptions& options,
                   QWidget* parent = nullptr);
    ~CComparisonDlg() override;

    // The record against the same patient's record before it; false with *error when the
    // archive or a record does not open, or the patient has no earlier record.
    bool ComparePrevious(qint64 currentId, QString* error);
    // The record against another one of the archive.
    bool Compare(qint64 previousId, qint64 currentId, QString* error);

    qint64 PreviousId() const { return m_nPreviousId; }
    qint64 CurrentId() const { return m_nCurrentId; }
    // What is shown; null before a comparison.
    const ComparisonInput* Input() const { return m_pInput.get(); }

    // The same speed and gain for both records, the median beats and the report.
    void SetSpeed(double mmPerS);
    void SetGain(double mmPerMv);
    double Speed() const { return m_reading.speedMmPerS; }
    double Gain() const { return m_reading.gainMmPerMv; }

    // The comparison report as a PDF at path; false with *error (also in the status line).
    bool SaveReport(const QString& path, QString* error);

private:
    bool OpenArchive(QString* error);
    void ListPatientRecords();
    void ShowComparison();
    void ApplyReading();
    void OnSaveReport();
    void Failed(const QString& why);

    CArchiveLocation m_where;
    std::unique_ptr<CArchive> m_pArchive;
    CComparisonOptions m_options;
    ReadingSettings m_reading;
    qint64 m_nPreviousId = 0, m_nCurrentId = 0;
    // The records the input points at, and the input.
    std::unique_ptr<CLoadedRecord> m_pPrevious, m_pCurrent;
    std::unique_ptr<ComparisonInput> m_pInput;

    QComboBox* m_pChoosePrevious;
    QComboBox* m_pSpeed;
    QComboBox* m_pGain;
    QLabel* m_pFilters;
    QLabel* m_pPreviousTitle;
    QLabel* m_pCurrentTitle;
    CComparisonChart* m_pPreviousChart;
    CComparisonChart* m_pCurrentChart;
    QScrollBar* m_pScroll;
    CMedianOverlayView* m_pOverlay;
    QTableWidget* m_pDeltas;
    QLabel* m_pHeading;
    QListWidget* m_pChanges;
    QLabel* m_pStatus;
};
