#include "dialogs/his_outbox_dlg.h"
#include "dialogs/status_text.h"

#include "hl7/hl7_outbox.h"
#include "record_io/background_task.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_hl7.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

CHisOutboxDlg::CHisOutboxDlg(const CViewSettings& settings, const QString& folder, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_strFolder(folder),
      m_pTable(new QTableWidget(0, 3, this)), m_pStatus(new QLabel(this)),
      m_pSend(new QPushButton(tr("Отправить сейчас"), this)),
      m_pStop(new QPushButton(tr("Остановить"), this)),
      m_pRemove(new QPushButton(tr("Удалить..."), this)), m_pTask(new CBackgroundTask(this)) {
    setWindowTitle(tr("Очередь результатов для МИС"));
    m_pTable->setHorizontalHeaderLabels({tr("Сообщение"), tr("Сохранено"), tr("Размер")});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->verticalHeader()->hide();
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* close = new QPushButton(tr("Закрыть"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pSend);
    buttons->addWidget(m_pStop);
    buttons->addWidget(m_pRemove);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Результаты, которые информационная система больницы ещё не "
                                    "приняла. Они хранятся, пока система их не подтвердит."),
                                 this));
    layout->addWidget(m_pTable);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);
    resize(560, 320);
    connect(m_pSend, &QPushButton::clicked, this, [this] { SendNow(); });
    connect(m_pStop, &QPushButton::clicked, m_pTask, &CBackgroundTask::Cancel);
    connect(m_pRemove, &QPushButton::clicked, this, &CHisOutboxDlg::OnRemove);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pTable, &QTableWidget::itemSelectionChanged, this, &CHisOutboxDlg::UpdateButtons);
    Refresh();
}

CHisOutboxDlg::~CHisOutboxDlg() = default;

void CHisOutboxDlg::Refresh() {
    const std::vector<CHl7Pending> pending = CHl7Outbox(m_strFolder).List();
    m_pTable->setRowCount(int(pending.size()));
    for (int row = 0; row < int(pending.size()); ++row) {
        const CHl7Pending& p = pending[size_t(row)];
        const QDateTime kept = QDateTime::fromString(p.keptAt, Qt::ISODate);
        m_pTable->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(p.controlId)));
        m_pTable->setItem(
            row, 1,
            new QTableWidgetItem(kept.isValid() ? kept.toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                                                : p.keptAt));
        m_pTable->setItem(row, 2, new QTableWidgetItem(tr("%1 КБ").arg((p.bytes + 1023) / 1024)));
    }
    if (!IsSending())
        SetStatusText(m_pStatus, pending.empty() ? tr("Очередь пуста.")
                                                 : tr("Ждут отправки: %1.").arg(pending.size()));
    UpdateButtons();
}

bool CHisOutboxDlg::SendNow() {
    CMllpLink link = HisLinkOf(m_settings);
    if (link.host.empty() || link.port <= 0) {
        SetStatusText(
            m_pStatus,
            tr("Не задан сервер МИС: укажите его в настройках (страница PACS, раздел МИС)."));
        return false;
    }
    if (IsSending())
        return false;
    auto report = std::make_shared<CHl7SendReport>();
    const QString folder = m_strFolder;
    disconnect(m_pTask, &CBackgroundTask::Finished, this, nullptr);
    connect(m_pTask, &CBackgroundTask::Finished, this, [this, report](bool, const QString& why) {
        Refresh();
        QStringList lines;
        for (const CHl7Outcome& o : report->outcomes)
            lines << (o.bDelivered ? tr("%1: принято").arg(QString::fromStdString(o.controlId))
                                   : tr("%1: не доставлено (%2)")
                                         .arg(QString::fromStdString(o.controlId),
                                              QString::fromStdString(o.error)));
        if (why == QLatin1String("cancelled"))
            lines << tr("Отправка остановлена.");
        lines << (report->nLeft ? tr("Ждут отправки: %1.").arg(report->nLeft)
                                : tr("Очередь пуста."));
        SetStatusText(m_pStatus, lines.join(QLatin1Char('\n')));
        emit SendFinished();
    });
    m_pTask->Start([folder, link, report](std::string* error) mutable {
        link.cancelled = [] { return CHelperCancelScope::Cancelled(); };
        CHl7Outbox outbox(folder);
        *report = SendHl7Outbox(outbox, link, {});
        if (report->bDone)
            return true;
        *error = CHelperCancelScope::Cancelled() ? "cancelled" : "not every result was delivered";
        return false;
    });
    SetStatusText(m_pStatus, tr("Идёт отправка в МИС..."));
    UpdateButtons();
    return true;
}

bool CHisOutboxDlg::RemoveChosen() {
    const int row = m_pTable->currentRow();
    if (row < 0 || IsSending())
        return false;
    const std::string id = m_pTable->item(row, 0)->text().toStdString();
    std::string why;
    CHl7Outbox outbox(m_strFolder);
    if (!outbox.Remove(id, &why)) {
        SetStatusText(m_pStatus, tr("Сообщение не удалено: %1").arg(QString::fromStdString(why)));
        return false;
    }
    Refresh();
    return true;
}

void CHisOutboxDlg::OnRemove() {
    if (m_pTable->currentRow() < 0)
        return;
    if (QMessageBox::question(this, windowTitle(),
                              tr("Удалить сообщение из очереди? Информационная система больницы "
                                 "его не получит.")) != QMessageBox::Yes)
        return;
    RemoveChosen();
}

bool CHisOutboxDlg::IsSending() const {
    return m_pTask->IsRunning();
}

int CHisOutboxDlg::Waiting() const {
    return m_pTable->rowCount();
}

QString CHisOutboxDlg::Status() const {
    return m_pStatus->text();
}

void CHisOutboxDlg::UpdateButtons() {
    const bool sending = IsSending();
    m_pSend->setEnabled(!sending && m_pTable->rowCount() > 0);
    m_pStop->setEnabled(sending);
    m_pRemove->setEnabled(!sending && m_pTable->currentRow() >= 0);
}
