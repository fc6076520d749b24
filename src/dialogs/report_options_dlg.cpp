#include "dialogs/report_options_dlg.h"

#include "dialogs/dialog_buttons.h"
#include "display/reading_settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

namespace {

QComboBox* Choice(QWidget* parent, const QStringList& texts, const QVariantList& values,
                  const QVariant& current) {
    auto* box = new QComboBox(parent);
    for (qsizetype i = 0; i < texts.size(); ++i)
        box->addItem(texts[i], values[i]);
    box->setCurrentIndex(std::max(0, box->findData(current)));
    return box;
}

} // namespace

CReportOptionsDlg::CReportOptionsDlg(QWidget* parent, const ReportOptions& o) : QDialog(parent) {
    setWindowTitle(tr("Параметры печати"));
    m_pLayout = Choice(this,
                       {tr("12 отведений друг под другом (12x1)"), QStringLiteral("6x2"),
                        tr("3x4 и ритм II (3x4+1)"), tr("3x4 и ритм V1, II, V5 (3x4+3)")},
                       {int(ReportLayout::Leads12x1), int(ReportLayout::Leads6x2),
                        int(ReportLayout::Leads3x4Rhythm1), int(ReportLayout::Leads3x4Rhythm3)},
                       int(o.layout));
    QStringList speedTexts, gainTexts;
    QVariantList speeds, gains;
    for (const double v : kReadingSpeeds) {
        speedTexts << tr("%1 мм/с").arg(v);
        speeds << v;
    }
    for (const double v : kReadingGains) {
        gainTexts << tr("%1 мм/мВ").arg(v);
        gains << v;
    }
    m_pSpeed = Choice(this, speedTexts, speeds, o.speedMmPerS);
    m_pGain = Choice(this, gainTexts, gains, o.gainMmPerMv);
    m_pPaper = Choice(this, {QStringLiteral("A4"), QStringLiteral("Letter")},
                      {int(ReportPaper::A4), int(ReportPaper::Letter)}, int(o.paper));
    auto* form = new QFormLayout(this);
    form->addRow(tr("Расположение:"), m_pLayout);
    form->addRow(tr("Скорость:"), m_pSpeed);
    form->addRow(tr("Усиление:"), m_pGain);
    form->addRow(tr("Бумага:"), m_pPaper);
    form->addRow(MakeApplyCancelButtons(this));
}

ReportOptions CReportOptionsDlg::Options() const {
    ReportOptions o;
    o.layout = ReportLayout(m_pLayout->currentData().toInt());
    o.speedMmPerS = m_pSpeed->currentData().toDouble();
    o.gainMmPerMv = m_pGain->currentData().toDouble();
    o.paper = ReportPaper(m_pPaper->currentData().toInt());
    return o;
}
