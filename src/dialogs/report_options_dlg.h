#pragma once
// The small dialog before a print, a preview or a PDF: layout, speed, gain and paper.

#include "report/report_layout.h"

#include <QCoreApplication>
#include <QDialog>

class QComboBox;

class CReportOptionsDlg : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(CReportOptionsDlg)
public:
    CReportOptionsDlg(QWidget* parent, const ReportOptions& options);
    ReportOptions Options() const;

    QComboBox* m_pLayout;
    QComboBox* m_pSpeed;
    QComboBox* m_pGain;
    QComboBox* m_pPaper;
};
