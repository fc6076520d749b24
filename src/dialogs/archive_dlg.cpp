#include "dialogs/archive_dlg.h"
#include "dialogs/status_text.h"

#include "dialogs/priors_dlg.h"
#include "record_io/background_task.h"
#include "report/report_file.h"
#include "storage/card_fields.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <mutex>

namespace {

// Typing waits this long for the next key before it searches.
constexpr int kTypingPauseMs = 150;
// The status line names this many refused files of an import; the rest are counted.
constexpr int kRefusalsShown = 5;

QString Text(const char* field, size_t size) {
    return QString::fromStdString(CardTextUtf8(field, size));
}

QString FullName(const PATIENT_CARD& c) {
    return QStringLiteral("%1 %2 %3")
        .arg(Text(c.last_name, sizeof c.last_name), Text(c.first_name, sizeof c.first_name),
             Text(c.patronymic, sizeof c.patronymic))
        .simplified();
}

QString BirthText(const PATIENT_CARD& c) {
    if (CardBirthDateValid(c))
        return QDate(c.birth_year, c.birth_month, c.birth_day)
            .toString(QStringLiteral("dd.MM.yyyy"));
    return c.birth_year && c.birth_year != 65535 ? QString::number(c.birth_year) : QString();
}

QString Number(const std::optional<double>& v) {
    return v ? QString::number(*v, 'f', 0) : QStringLiteral("—");
}

QTableWidget* NewTable(const QStringList& headers, const QString& name, QWidget* parent) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void SetRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// A date picker whose first day stands for "no bound".
QDateEdit* NewBound(const QString& name, QWidget* parent) {
    auto* d = new QDateEdit(parent);
    d->setObjectName(name);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    d->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    d->setSpecialValueText(QStringLiteral("—"));
    d->setDate(d->minimumDate());
    return d;
}

QDate BoundOf(const QDateEdit* d) {
    return d->date() == d->minimumDate() ? QDate() : d->date();
}

} // namespace

struct CArchiveDlg::ImportState {
    std::atomic<int> total{0}, done{0}, imported{0}, there{0}, refused{0};
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    QStringList refusals; // under mutex
};

CArchiveDlg::CArchiveDlg(const CArchiveLocation& where, QWidget* parent)
    : QDialog(parent), m_where(where), m_pImport(new CBackgroundTask(this)) {
    setObjectName(QStringLiteral("ArchiveDialog"));
    setWindowTitle(tr("Архив"));
    setModal(false);
    resize(900, 560);

    m_pSearch = new QLineEdit(this);
    m_pSearch->setObjectName(QStringLiteral("Search"));
    m_pSearch->setPlaceholderText(tr("Фамилия или номер карты"));
    m_pSearch->setClearButtonEnabled(true);
    m_pFrom = NewBound(QStringLiteral("From"), this);
    m_pTo = NewBound(QStringLiteral("To"), this);
    m_pRecycled = new QCheckBox(tr("Корзина"), this);
    m_pRecycled->setObjectName(QStringLiteral("Recycled"));
    m_pRecycled->setToolTip(
        tr("Удалённые записи: они хранятся %1 дней").arg(CArchive::kRecycleDays));
    m_pUnconfirmed = new QCheckBox(tr("не подтверждены"), this);
    m_pUnconfirmed->setObjectName(QStringLiteral("Unconfirmed"));
    m_pUnconfirmed->setToolTip(tr("Только записи, заключение которых не подтверждено врачом"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_pSearch, 1);
    top->addWidget(new QLabel(tr("с"), this));
    top->addWidget(m_pFrom);
    top->addWidget(new QLabel(tr("по"), this));
    top->addWidget(m_pTo);
    top->addWidget(m_pUnconfirmed);
    top->addWidget(m_pRecycled);

    m_pPatients = NewTable({tr("Пациент"), tr("Дата рождения"), tr("Номер карты"), tr("Записей")},
                           QStringLiteral("Patients"), this);
    m_pRecords = NewTable({tr("Дата"), tr("Тип"), tr("Аппарат"), tr("ЧСС"), tr("QRS, мс"),
                           tr("QTc, мс"), tr("Заключение"), tr("Файл")},
                          QStringLiteral("Records"), this);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_pPatients);
    split->addWidget(m_pRecords);
    split->setStretchFactor(1, 1);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("Status"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_pOpen = new QPushButton(tr("Открыть"), this);
    m_pExport = new QPushButton(tr("Экспорт..."), this);
    m_pDelete = new QPushButton(tr("Удалить"), this);
    auto* import = new QPushButton(tr("Импорт папки..."), this);
    auto* close = new QPushButton(tr("Закрыть"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_pOpen, m_pExport, m_pDelete, import})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);

    // The chosen record against the same patient's record before it.
    auto* compare = new QPushButton(tr("Сравнить с предыдущей"), this);
    compare->setObjectName(QStringLiteral("Compare"));
    compare->setEnabled(false);
    buttons->insertWidget(1, compare);
    connect(m_pRecords, &QTableWidget::itemSelectionChanged, this,
            [this, compare] { compare->setEnabled(ChosenRecord() != 0); });
    connect(compare, &QPushButton::clicked, this, [this] {
        if (const qint64 id = ChosenRecord())
            emit CompareRecord(id);
    });

    // The same patient's ECGs recorded elsewhere, fetched from the hospital's PACS.
    auto* priors = new QPushButton(tr("Прежние ЭКГ из PACS..."), this);
    priors->setObjectName(QStringLiteral("Priors"));
    priors->setEnabled(false);
    buttons->insertWidget(2, priors);
    connect(m_pRecords, &QTableWidget::itemSelectionChanged, this,
            [this, priors] { priors->setEnabled(ChosenRecord() != 0); });
    connect(priors, &QPushButton::clicked, this, &CArchiveDlg::ShowPriors);

    m_pTyping = new QTimer(this);
    m_pTyping->setSingleShot(true);
    m_pTyping->setInterval(kTypingPauseMs);
    connect(m_pTyping, &QTimer::timeout, this, &CArchiveDlg::Search);
    connect(m_pSearch, &QLineEdit::textChanged, m_pTyping, qOverload<>(&QTimer::start));
    for (QDateEdit* d : {m_pFrom, m_pTo})
        connect(d, &QDateEdit::dateChanged, this, &CArchiveDlg::Search);
    connect(m_pUnconfirmed, &QCheckBox::toggled, this, &CArchiveDlg::Search);
    connect(m_pRecycled, &QCheckBox::toggled, this, [this](bool on) {
        m_pDelete->setText(on ? tr("Восстановить") : tr("Удалить"));
        Search();
    });
    connect(m_pPatients, &QTableWidget::itemSelectionChanged, this, &CArchiveDlg::ShowRecords);
    connect(m_pRecords, &QTableWidget::itemSelectionChanged, this, [this] {
        const bool chosen = ChosenRecord() != 0;
        m_pOpen->setEnabled(chosen);
        m_pExport->setEnabled(chosen);
        m_pDelete->setEnabled(chosen);
    });
    connect(m_pRecords, &QTableWidget::itemDoubleClicked, this, [this] {
        if (const qint64 id = ChosenRecord())
            emit OpenRecord(id);
    });
    connect(m_pOpen, &QPushButton::clicked, this, [this] {
        if (const qint64 id = ChosenRecord())
            emit OpenRecord(id);
    });
    connect(m_pExport, &QPushButton::clicked, this, &CArchiveDlg::OnExport);
    connect(m_pDelete, &QPushButton::clicked, this, &CArchiveDlg::OnDelete);
    connect(import, &QPushButton::clicked, this, &CArchiveDlg::ImportFolder);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pImport, &CBackgroundTask::Finished, this, [this](bool ok, const QString& why) {
        std::shared_ptr<ImportState> s = std::exchange(m_pImportState, nullptr);
        if (m_pProgress)
            m_pProgress->hide();
        QString report = tr("Импортировано: %1, уже в архиве: %2, не принято: %3.")
                             .arg(s->imported.load())
                             .arg(s->there.load())
                             .arg(s->refused.load());
        if (!ok)
            report += QLatin1Char(' ') + (why == QLatin1String("cancelled")
                                              ? tr("Импорт прерван.")
                                              : tr("Импорт не закончен: %1").arg(why));
        {
            std::lock_guard lock(s->mutex);
            for (qsizetype i = 0; i < s->refusals.size() && i < kRefusalsShown; ++i)
                report += QLatin1Char('\n') + s->refusals[i];
            if (s->refusals.size() > kRefusalsShown)
                report +=
                    QLatin1Char('\n') + tr("и ещё %1").arg(s->refusals.size() - kRefusalsShown);
        }
        SetStatusText(m_pStatus, report);
        Refresh();
        emit ImportFinished(report);
    });
    Refresh();
}

CArchiveDlg::~CArchiveDlg() {
    if (m_pImportState)
        m_pImportState->cancel = true;
}

void CArchiveDlg::Failed(const QString& why) {
    SetStatusText(m_pStatus, why);
}

void CArchiveDlg::Refresh() {
    if (!m_pArchive) {
        auto archive = std::make_unique<CArchive>();
        QString why;
        if (!archive->Open(m_where, &why)) {
            Failed(tr("Архив не открыт: %1").arg(why));
            return;
        }
        m_pArchive = std::move(archive);
    }
    Search();
}

CFindCriteria CArchiveDlg::Criteria() const {
    CFindCriteria c;
    c.text = m_pSearch->text();
    c.from = BoundOf(m_pFrom);
    c.to = BoundOf(m_pTo);
    c.recycled = m_pRecycled->isChecked();
    c.unconfirmed = m_pUnconfirmed->isChecked();
    return c;
}

void CArchiveDlg::Search() {
    m_pTyping->stop();
    if (!m_pArchive)
        return;
    const qint64 before =
        m_pPatients->currentRow() >= 0 && m_pPatients->currentRow() < int(m_patients.size())
            ? m_patients[size_t(m_pPatients->currentRow())].id
            : -1;
    QString why;
    CFindCriteria c = Criteria();
    if (!m_pArchive->FindPatients(c, m_patients, &why)) {
        Failed(tr("Поиск в архиве не удался: %1").arg(why));
        return;
    }
    // The records still waiting for their card, when nothing narrows the search to a name.
    if (c.text.trimmed().isEmpty()) {
        c.patientId = 0;
        std::vector<CArchivedRecord> waiting;
        if (m_pArchive->Find(c, waiting, &why) && !waiting.empty()) {
            CArchivedPatient none;
            none.records = qint64(waiting.size());
            none.lastRecordedAt = waiting.back().recordedAt;
            m_patients.push_back(none);
        }
    }
    QSignalBlocker block(m_pPatients);
    m_pPatients->setRowCount(int(m_patients.size()));
    int select = m_patients.empty() ? -1 : 0;
    for (size_t i = 0; i < m_patients.size(); ++i) {
        const CArchivedPatient& p = m_patients[i];
        SetRow(m_pPatients, int(i),
               {p.id ? FullName(p.card) : tr("(без карточки)"),
                p.id ? BirthText(p.card) : QString(),
                p.id ? QString::fromStdString(CardPatientId(p.card)) : QString(),
                QString::number(p.records)});
        if (p.id == before)
            select = int(i);
    }
    m_pPatients->resizeColumnsToContents();
    m_pPatients->setCurrentCell(select, 0);
    SetStatusText(m_pStatus, m_patients.empty() ? tr("Ничего не найдено.") : QString());
    block.unblock();
    ShowRecords();
}

void CArchiveDlg::ShowRecords() {
    m_records.clear();
    const int row = m_pPatients->currentRow();
    if (m_pArchive && row >= 0 && row < int(m_patients.size())) {
        CFindCriteria c = Criteria();
        c.text.clear(); // the patient is chosen already
        c.patientId = m_patients[size_t(row)].id;
        QString why;
        if (!m_pArchive->Find(c, m_records, &why))
            Failed(tr("Поиск в архиве не удался: %1").arg(why));
    }
    m_pRecords->setRowCount(int(m_records.size()));
    for (size_t i = 0; i < m_records.size(); ++i) {
        const CArchivedRecord& r = m_records[i];
        SetRow(m_pRecords, int(i),
               {r.recordedAt, r.type, r.device, Number(r.heartRateBpm), Number(r.qrsMs),
                Number(r.qtcBazettMs),
                r.readingVersion > 0 ? tr("подтверждено: %1, %2").arg(r.confirmedBy, r.confirmedAt)
                                     : tr("не подтверждено врачом"),
                r.source});
    }
    m_pRecords->resizeColumnsToContents();
    if (!m_records.empty())
        m_pRecords->setCurrentCell(int(m_records.size()) - 1, 0); // the newest
    const bool chosen = ChosenRecord() != 0;
    m_pOpen->setEnabled(chosen);
    m_pExport->setEnabled(chosen);
    m_pDelete->setEnabled(chosen);
}

CPriorsDlg* CArchiveDlg::ShowPriors() {
    const int row = m_pRecords->currentRow();
    if (row < 0 || row >= int(m_records.size()))
        return nullptr;
    CViewSettings pacs; // the settings as they are now: the PACS may have been changed since
    pacs.UpdateIni(true);
    auto* dlg = new CPriorsDlg(pacs, m_where, m_records[size_t(row)].card, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &CPriorsDlg::Fetched, this, [this](const QString& report) {
        Refresh();
        SetStatusText(m_pStatus, report);
        // An import like any other: a record's previous one may be among what came.
        emit ImportFinished(report);
    });
    connect(dlg, &CPriorsDlg::Failed, this, &CArchiveDlg::Failed);
    dlg->show();
    return dlg;
}

qint64 CArchiveDlg::ChosenRecord() const {
    const int row = m_pRecords->currentRow();
    return row >= 0 && row < int(m_records.size()) ? m_records[size_t(row)].id : 0;
}

void CArchiveDlg::OnExport() {
    const int row = m_pRecords->currentRow();
    if (row < 0 || row >= int(m_records.size()))
        return;
    QStringList filters;
    for (const RecordFileType& t : RecordFileTypes())
        if (t.write)
            filters << DialogFilter(t);
    const CArchivedRecord& r = m_records[size_t(row)];
    const QString proposed = QStringLiteral("%1 %2%3").arg(
        FullName(r.card).isEmpty() ? tr("ЭКГ") : FullName(r.card),
        QString(r.recordedAt).replace(QLatin1Char(':'), QLatin1Char('-')), r.type);
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Экспорт записи"), proposed, filters.join(";;"));
    if (!path.isEmpty())
        ExportChosen(path);
}

bool CArchiveDlg::ExportChosen(const QString& path) {
    const qint64 id = ChosenRecord();
    QString why;
    // A file that carries the printed report (FHIR) has it drawn under the settings' heading.
    const auto reportFor = [](const CStatementSettings& how, uint16_t absentLanes) {
        CViewSettings settings;
        settings.UpdateIni(true);
        return ReportPdfMakerFor(settings.m_attrOrg, how, absentLanes);
    };
    if (!id || !m_pArchive || !m_pArchive->Export(id, path, &why, reportFor)) {
        Failed(tr("Запись не экспортирована: %1").arg(why));
        return false;
    }
    SetStatusText(m_pStatus, tr("Запись сохранена: %1").arg(path));
    return true;
}

void CArchiveDlg::OnDelete() {
    if (!ChosenRecord())
        return;
    if (!m_pRecycled->isChecked() &&
        QMessageBox::question(this, tr("Архив"),
                              tr("Удалить запись из архива? Она пролежит в корзине %1 дней, "
                                 "потом будет стёрта.")
                                  .arg(CArchive::kRecycleDays)) != QMessageBox::Yes)
        return;
    DeleteChosen();
}

bool CArchiveDlg::DeleteChosen() {
    const qint64 id = ChosenRecord();
    QString why;
    const bool restore = m_pRecycled->isChecked();
    if (!id || !m_pArchive ||
        !(restore ? m_pArchive->Restore(id, &why) : m_pArchive->Delete(id, &why))) {
        Failed(
            (restore ? tr("Запись не восстановлена: %1") : tr("Запись не удалена: %1")).arg(why));
        return false;
    }
    Search();
    SetStatusText(m_pStatus,
                  restore ? tr("Запись восстановлена.") : tr("Запись перенесена в корзину."));
    return true;
}

bool CArchiveDlg::IsImporting() const {
    return m_pImport->IsRunning();
}

void CArchiveDlg::ImportFolder() {
    if (IsImporting())
        return;
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Импорт папки в архив"));
    if (!folder.isEmpty())
        ImportFolderAt(folder);
}

void CArchiveDlg::ImportFolderAt(const QString& folder) {
    if (IsImporting())
        return;
    auto state = std::make_shared<ImportState>();
    m_pImportState = state;
    // The thread opens its own connection: a database connection belongs to one thread.
    m_pImport->Start([state, folder, where = m_where](std::string* error) {
        CArchive archive;
        QString why;
        if (!archive.Open(where, &why)) {
            *error = why.toStdString();
            return false;
        }
        const QStringList files = ArchiveFilesOf({folder});
        state->total = int(files.size());
        ImportFiles(
            archive, files,
            [&](const QString& file, bool ok, CArchive::Added added, qint64,
                const QString& reason) {
                if (!ok) {
                    ++state->refused;
                    std::lock_guard lock(state->mutex);
                    state->refusals << QStringLiteral("%1: %2").arg(file, reason);
                } else {
                    ++(added == CArchive::Added::Imported ? state->imported : state->there);
                }
                ++state->done;
            },
            &state->cancel);
        if (state->cancel) {
            *error = "cancelled";
            return false;
        }
        return true;
    });
    if (!m_pProgress) {
        m_pProgress = new QProgressDialog(this);
        m_pProgress->setObjectName(QStringLiteral("ImportProgress"));
        m_pProgress->setWindowTitle(tr("Импорт папки"));
        m_pProgress->setCancelButtonText(tr("Отмена"));
        m_pProgress->setAutoReset(false);
        m_pProgress->setAutoClose(false);
        connect(m_pProgress, &QProgressDialog::canceled, this, [this] {
            if (m_pImportState)
                m_pImportState->cancel = true;
            m_pImport->Cancel();
        });
    }
    m_pProgress->setLabelText(tr("Записи из %1").arg(folder));
    m_pProgress->setRange(0, 0);
    m_pProgress->setValue(0);
    m_pProgress->show();
    auto* tick = new QTimer(m_pProgress);
    tick->setInterval(100);
    connect(tick, &QTimer::timeout, this, [this, tick, state] {
        if (m_pImportState != state) {
            tick->deleteLater();
            return;
        }
        if (state->total > 0) {
            m_pProgress->setRange(0, state->total);
            m_pProgress->setValue(state->done);
        }
    });
    tick->start();
}
