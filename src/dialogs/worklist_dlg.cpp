#include "dialogs/worklist_dlg.h"
#include "dialogs/status_text.h"

#include "record_io/background_task.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// "20261210093000" as "10.12.2026 09:30", as much as is given.
QString StartText(const std::string& start) {
    const QString s = Text(start);
    if (s.size() < 8)
        return s;
    QString text = s.mid(6, 2) + QLatin1Char('.') + s.mid(4, 2) + QLatin1Char('.') + s.left(4);
    if (s.size() >= 12)
        text += QLatin1Char(' ') + s.mid(8, 2) + QLatin1Char(':') + s.mid(10, 2);
    return text;
}

} // namespace

CWorklistDlg::CWorklistDlg(const CViewSettings& settings, QWidget* parent)
    : QDialog(parent), m_server(WorklistServerOf(settings)) {
    setWindowTitle(tr("Рабочий список"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Дата:"), this));
    m_pDay = new QDateEdit(QDate::currentDate(), this);
    m_pDay->setCalendarPopup(true);
    m_pDay->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    top->addWidget(m_pDay);
    top->addStretch();
    m_pRefresh = new QPushButton(tr("Обновить"), this);
    top->addWidget(m_pRefresh);
    layout->addLayout(top);

    m_pTable = new QTableWidget(0, 7, this);
    m_pTable->setHorizontalHeaderLabels({tr("ФИО"), tr("Идентификатор"), tr("Дата рождения"),
                                         tr("Пол"), tr("Номер направления"), tr("Процедура"),
                                         tr("Время")});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->verticalHeader()->hide();
    layout->addWidget(m_pTable);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("status"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_pStatus);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    m_pChoose = new QPushButton(tr("Выбрать"), this);
    m_pChoose->setObjectName(QStringLiteral("choose"));
    m_pChoose->setEnabled(false);
    m_pChoose->setDefault(true);
    auto* close = new QPushButton(tr("Закрыть"), this);
    bottom->addWidget(m_pChoose);
    bottom->addWidget(close);
    layout->addLayout(bottom);
    resize(900, 420);

    m_pTask = new CBackgroundTask(this);
    connect(m_pTask, &CBackgroundTask::Finished, this, &CWorklistDlg::OnFinished);
    connect(m_pRefresh, &QPushButton::clicked, this, &CWorklistDlg::Refresh);
    connect(m_pDay, &QDateEdit::dateChanged, this, &CWorklistDlg::Refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pChoose, &QPushButton::clicked, this, [this] { ChooseRow(m_pTable->currentRow()); });
    connect(m_pTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { ChooseRow(row); });
    connect(m_pTable, &QTableWidget::itemSelectionChanged, this, [this] {
        m_pChoose->setEnabled(m_pTable->currentRow() >= 0 &&
                              size_t(m_pTable->currentRow()) < m_entries.size());
    });
    // The hospital adds and cancels orders during the day: the list follows while it is open.
    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(kRefreshMs);
    connect(m_pTimer, &QTimer::timeout, this, &CWorklistDlg::Refresh);
    m_pTimer->start();
    Refresh();
}

// The query under way is cancelled and its helper ended with the task.
CWorklistDlg::~CWorklistDlg() = default;

bool CWorklistDlg::IsQuerying() const {
    return m_pTask->IsRunning();
}

void CWorklistDlg::Refresh() {
    if (m_pTask->IsRunning())
        return;
    if (const QString fault = WorklistServerFault(m_server); !fault.isEmpty()) {
        SetStatusText(m_pStatus, tr("Рабочий список недоступен: %1. Задайте сервер в "
                                    "«Настройки» > «PACS».")
                                     .arg(fault));
        return;
    }
    SetStatusText(
        m_pStatus,
        tr("Запрос рабочего списка у %1:%2…").arg(m_server.m_strHost).arg(m_server.m_nPort));
    m_pRefresh->setEnabled(false);
    auto answer = std::make_shared<std::vector<CWorklistEntry>>();
    m_pAnswer = answer;
    m_queriedDay = m_pDay->date();
    m_pTask->Start([server = m_server, day = m_queriedDay, answer](std::string* error) {
        return QueryWorklist(server, day, answer.get(), error);
    });
}

void CWorklistDlg::OnFinished(bool bOk, const QString& reason) {
    m_pRefresh->setEnabled(true);
    if (!bOk) {
        // The list stays as it was: the orders shown are still the last the server gave.
        SetStatusText(m_pStatus, tr("Ошибка рабочего списка: %1").arg(reason));
        return;
    }
    // Another day chosen while the query ran: its list is asked for now.
    if (m_queriedDay != m_pDay->date()) {
        Refresh();
        return;
    }
    m_entries = std::move(*m_pAnswer);
    ShowEntries();
    SetStatusText(m_pStatus, tr("Направлений на %1: %2 (обновлено в %3)")
                                 .arg(m_pDay->date().toString(QStringLiteral("dd.MM.yyyy")))
                                 .arg(m_entries.size())
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm"))));
}

void CWorklistDlg::ShowEntries() {
    const QString chosen = m_pTable->currentRow() >= 0 && m_pTable->item(m_pTable->currentRow(), 4)
                               ? m_pTable->item(m_pTable->currentRow(), 4)->text()
                               : QString();
    m_pTable->setRowCount(int(m_entries.size()));
    int row = 0;
    for (const CWorklistEntry& e : m_entries) {
        const QString name =
            Text(e.m_strLastName + " " + e.m_strFirstName + " " + e.m_strMiddleName).simplified();
        const QString born = e.m_nBirthYear ? QDate(e.m_nBirthYear, e.m_nBirthMonth, e.m_nBirthDay)
                                                  .toString(QStringLiteral("dd.MM.yyyy"))
                                            : QString();
        const QString sex = e.m_nSex == 1 ? tr("м") : e.m_nSex == 0 ? tr("ж") : QString();
        const QString cells[] = {name,
                                 Text(e.m_strPatientId),
                                 born,
                                 sex,
                                 Text(e.m_Order.m_strAccession),
                                 Text(e.m_Order.m_strProcedureDescription),
                                 StartText(e.m_Order.m_strScheduledStart)};
        for (int column = 0; column < 7; ++column)
            m_pTable->setItem(row, column, new QTableWidgetItem(cells[column]));
        // A refresh keeps the order the user had chosen, wherever it moved.
        if (!chosen.isEmpty() && cells[4] == chosen)
            m_pTable->selectRow(row);
        ++row;
    }
    m_pTable->resizeColumnsToContents();
    m_pChoose->setEnabled(m_pTable->currentRow() >= 0 &&
                          size_t(m_pTable->currentRow()) < m_entries.size());
}

bool CWorklistDlg::ChooseRow(int row) {
    if (row < 0 || size_t(row) >= m_entries.size())
        return false;
    emit Chosen(m_entries[size_t(row)]);
    return true;
}
