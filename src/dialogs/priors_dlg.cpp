#include "dialogs/priors_dlg.h"
#include "dialogs/status_text.h"

#include "archive/archive_priors.h"
#include "record_io/background_task.h"
#include "storage/card_fields.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>
#include <atomic>

namespace {

QString BirthOf(const PATIENT_CARD& c) {
    if (c.birth_year == 0)
        return {};
    const QDate d(c.birth_year, c.birth_month, c.birth_day);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString::number(c.birth_year);
}

QString DateOf(const CPriorStudy& s) {
    const QDate d = QDate::fromString(s.m_strDate, Qt::ISODate);
    return ((d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : s.m_strDate) +
            QLatin1Char(' ') + s.m_strTime)
        .trimmed();
}

} // namespace

// What a search or fetch gives back to the window's thread; the work fills it on its own.
struct CPriorsDlg::CWork {
    std::vector<CPriorStudy> studies;
    CFetchedPriors fetched;
    std::atomic<bool> cancel{false};
    bool fetching = false;
};

CPriorsDlg::CPriorsDlg(const CViewSettings& pacs, const CArchiveLocation& where,
                       const PATIENT_CARD& card, QWidget* parent)
    : QDialog(parent), m_pacs(pacs), m_where(where), m_strPatientId(PriorsPatientId(card)),
      m_pTask(new CBackgroundTask(this)) {
    setWindowTitle(tr("Прежние ЭКГ из PACS"));
    const QString name =
        QStringLiteral("%1 %2 %3")
            .arg(QString::fromStdString(CardTextUtf8(card.last_name, sizeof card.last_name)),
                 QString::fromStdString(CardTextUtf8(card.first_name, sizeof card.first_name)),
                 QString::fromStdString(CardTextUtf8(card.patronymic, sizeof card.patronymic)))
            .simplified();
    auto* who = new QLabel(tr("Пациент: %1, идентификатор %2").arg(name, m_strPatientId), this);
    m_pStudies = new QTableWidget(0, 6, this);
    m_pStudies->setObjectName(QStringLiteral("Studies"));
    m_pStudies->setHorizontalHeaderLabels({tr("Дата"), tr("Пациент"), tr("Дата рождения"),
                                           tr("Пол"), tr("Номер обращения"), tr("ЭКГ")});
    m_pStudies->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pStudies->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pStudies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pStudies->verticalHeader()->hide();
    m_pStudies->horizontalHeader()->setStretchLastSection(true);
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("PriorsStatus"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pFind = new QPushButton(tr("Искать снова"), this);
    m_pFind->setObjectName(QStringLiteral("FindAgain"));
    m_pFetch = new QPushButton(tr("Загрузить в архив"), this);
    m_pFetch->setObjectName(QStringLiteral("Fetch"));
    m_pFetch->setEnabled(false);
    m_pCancel = new QPushButton(tr("Закрыть"), this);
    m_pCancel->setObjectName(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pFind);
    buttons->addWidget(m_pFetch);
    buttons->addStretch(1);
    buttons->addWidget(m_pCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(who);
    layout->addWidget(m_pStudies, 1);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(m_pFind, &QPushButton::clicked, this, &CPriorsDlg::StartFind);
    connect(m_pFetch, &QPushButton::clicked, this, &CPriorsDlg::FetchChosen);
    connect(m_pCancel, &QPushButton::clicked, this, [this] {
        if (IsBusy())
            Cancel();
        else
            close();
    });
    connect(m_pTask, &CBackgroundTask::Finished, this, [this](bool ok, const QString& reason) {
        const std::shared_ptr<CWork> work = std::exchange(m_pWork, nullptr);
        Busy(false, QString());
        if (!ok) {
            const QString why =
                reason == QLatin1String("cancelled")
                    ? tr("Отменено.")
                    : (work && work->fetching ? tr("Загрузка из PACS не удалась: %1")
                                              : tr("Поиск в PACS не удался: %1"))
                          .arg(reason);
            SetStatusText(m_pStatus, why);
            emit Failed(why);
            if (work && work->fetching && work->fetched.m_nImported > 0)
                emit Fetched(why);
            return;
        }
        if (!work->fetching) {
            m_studies = std::move(work->studies);
            ShowStudies();
            return;
        }
        const CFetchedPriors& f = work->fetched;
        const QString report =
            f.m_nImported == 0
                ? tr("Получено ЭКГ: %1; все уже в архиве, ничего не добавлено.").arg(f.m_nFetched)
                : tr("Получено ЭКГ: %1; добавлено в архив: %2, уже в архиве: %3.")
                      .arg(f.m_nFetched)
                      .arg(f.m_nImported)
                      .arg(f.m_nAlreadyThere);
        SetStatusText(m_pStatus, report);
        emit Fetched(report);
    });
}

CPriorsDlg::~CPriorsDlg() {
    // The task's own destructor kills the helper and waits for the thread.
    if (m_pWork)
        m_pWork->cancel = true;
}

void CPriorsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bSearched)
        StartFind();
}

bool CPriorsDlg::IsBusy() const {
    return m_pTask->IsRunning();
}

void CPriorsDlg::Busy(bool busy, const QString& what) {
    m_pFind->setEnabled(!busy);
    m_pFetch->setEnabled(!busy && !m_studies.empty());
    m_pCancel->setText(busy ? tr("Отмена") : tr("Закрыть"));
    if (busy)
        SetStatusText(m_pStatus, what);
}

void CPriorsDlg::Cancel() {
    if (m_pWork)
        m_pWork->cancel = true;
    m_pTask->Cancel();
}

void CPriorsDlg::StartFind() {
    if (IsBusy())
        return;
    m_bSearched = true;
    auto work = std::make_shared<CWork>();
    m_pWork = work;
    Busy(true, tr("Поиск ЭКГ пациента в PACS..."));
    m_pTask->Start([work, pacs = m_pacs, id = m_strPatientId](std::string* error) {
        return FindPriors(pacs, id, work->studies, error);
    });
}

void CPriorsDlg::FetchChosen() {
    if (IsBusy() || m_studies.empty())
        return;
    QSet<int> rows;
    for (const QModelIndex& i : m_pStudies->selectionModel()->selectedRows())
        rows.insert(i.row());
    QStringList uids;
    for (size_t i = 0; i < m_studies.size(); ++i)
        if (rows.isEmpty() || rows.contains(int(i)))
            uids << m_studies[i].m_strStudyUid;
    auto work = std::make_shared<CWork>();
    work->fetching = true;
    m_pWork = work;
    Busy(true, tr("Загрузка ЭКГ из PACS в архив (исследований: %1)...").arg(uids.size()));
    m_pTask->Start([work, pacs = m_pacs, where = m_where, uids](std::string* error) {
        // A connection of this thread's own: the window's stays with the window.
        CArchive archive;
        QString why;
        if (!archive.Open(where, &why)) {
            *error = why.toStdString();
            return false;
        }
        return FetchPriorsIntoArchive(pacs, uids, archive, &work->fetched, error, &work->cancel);
    });
}

void CPriorsDlg::ShowStudies() {
    m_pStudies->setRowCount(int(m_studies.size()));
    for (size_t i = 0; i < m_studies.size(); ++i) {
        const CPriorStudy& s = m_studies[i];
        const QStringList cells = {
            DateOf(s),
            s.m_strName,
            BirthOf(s.m_Card),
            s.m_Card.sex == 1 ? tr("муж.") : s.m_Card.sex == 0 ? tr("жен.") : QString(),
            s.m_strAccession,
            QString::number(s.m_nEcgInstances)};
        for (int c = 0; c < cells.size(); ++c)
            m_pStudies->setItem(int(i), c, new QTableWidgetItem(cells[c]));
    }
    m_pStudies->resizeColumnsToContents();
    m_pFetch->setEnabled(!m_studies.empty());
    SetStatusText(m_pStatus, m_studies.empty()
                                 ? tr("В PACS нет ЭКГ этого пациента.")
                                 : tr("Найдено исследований с ЭКГ: %1. Выберите нужные и нажмите "
                                      "«Загрузить в архив».")
                                       .arg(m_studies.size()));
}
