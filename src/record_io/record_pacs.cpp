#include "record_io/record_pacs.h"

#include "record_io/interchange_helper.h"
#include "record_io/record_files.h"
#include "storage/card_fields.h"
#include "storage/statements_block.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace {

// DICOM AE titles: 1-16 characters of the default repertoire, no backslash, not only blanks.
bool ValidAeTitle(const QString& title) {
    if (title.trimmed().isEmpty() || title.size() > 16)
        return false;
    for (const QChar c : title)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == QLatin1Char('\\'))
            return false;
    return true;
}

} // namespace

QString PacsSettingsFault(const CViewSettings& s) {
    if (s.m_szPacsHost.trimmed().isEmpty())
        return QCoreApplication::translate("RecordPacs", "не задан адрес PACS");
    if (s.m_nPacsPort < 1 || s.m_nPacsPort > 65535)
        return QCoreApplication::translate("RecordPacs", "неверный порт PACS: %1")
            .arg(s.m_nPacsPort);
    if (!ValidAeTitle(s.m_szPacsAETitle))
        return QCoreApplication::translate("RecordPacs", "неверный AE-титул PACS: \"%1\"")
            .arg(s.m_szPacsAETitle);
    if (!ValidAeTitle(s.m_szOwnAETitle))
        return QCoreApplication::translate("RecordPacs", "неверный собственный AE-титул: \"%1\"")
            .arg(s.m_szOwnAETitle);
    return {};
}

std::string PacsCardFault(const PATIENT_CARD& card) {
    if (CardTextUtf8(card.last_name, sizeof card.last_name).empty())
        return QCoreApplication::translate(
                   "RecordPacs",
                   "В карточке нет фамилии пациента: запись без имени в PACS не отправляется")
            .toStdString();
    return {};
}

CPacsJob::CPacsJob(QObject* parent) : QObject(parent) {}

CPacsJob::~CPacsJob() {
    if (m_pProcess && m_pProcess->state() != QProcess::NotRunning) {
        m_pProcess->disconnect(this);
        m_pProcess->kill();
        m_pProcess->waitForFinished(2000);
    }
    // A drawing cannot be stopped halfway; it ends within a second.
    if (m_pDrawing) {
        m_pDrawing->disconnect(this);
        m_pDrawing->wait();
    }
    for (const std::unique_ptr<QThread>& t : m_Abandoned)
        t->wait();
}

bool CPacsJob::IsRunning() const {
    return m_bDrawing || (m_pProcess && m_pProcess->state() != QProcess::NotRunning);
}

bool CPacsJob::CanStart(const CViewSettings& s, std::string* error) const {
    if (IsRunning()) {
        *error = "a PACS job is already running";
        return false;
    }
    if (const QString fault = PacsSettingsFault(s); !fault.isEmpty()) {
        *error = fault.toStdString();
        return false;
    }
    return true;
}

bool CPacsJob::Start(const CViewSettings& s, const QStringList& head, const QByteArray& input,
                     std::string* error) {
    if (!CanStart(s, error))
        return false;
    const QString helper = InterchangeHelperPath();
    if (helper.isEmpty()) {
        *error = "the helper velmora-interchange is not installed";
        return false;
    }
    const int timeout = std::clamp(s.m_nPacsTimeout, 1, 3600);
    QStringList args = head;
    args << QStringLiteral("--host") << s.m_szPacsHost.trimmed() << QStringLiteral("--port")
         << QString::number(s.m_nPacsPort) << QStringLiteral("--called") << s.m_szPacsAETitle
         << QStringLiteral("--calling") << s.m_szOwnAETitle << QStringLiteral("--timeout")
         << QString::number(timeout);
    m_bCancelled = m_bDone = m_bOk = false;
    m_strReason.clear();
    m_strInstance.clear();
    m_strReportInstance.clear();
    m_pProcess = std::make_unique<QProcess>();
    connect(m_pProcess.get(), &QProcess::finished, this, &CPacsJob::OnFinished);
    connect(m_pProcess.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            OnFinished(-1, QProcess::CrashExit);
    });
    m_pProcess->start(helper, args);
    if (m_pProcess->state() != QProcess::NotRunning) {
        // Buffered here and handed to the pipe by the event loop as the helper reads it (a record
        // is more than a pipe holds); the channel closes once all of it is written.
        if (!input.isEmpty())
            m_pProcess->write(input);
        m_pProcess->closeWriteChannel();
    }
    // The helper bounds every wait by the time-out; this is the last word should it not.
    QTimer::singleShot((timeout * 3 + 5) * 1000, m_pProcess.get(),
                       [p = m_pProcess.get()] { p->kill(); });
    return true;
}

bool CPacsJob::StartEcho(const CViewSettings& settings, std::string* error) {
    return Start(settings, {QStringLiteral("echo")}, {}, error);
}

bool CPacsJob::StartStore(const CViewSettings& settings, const ECG_RECORD& record,
                          const PATIENT_CARD& card, std::string* error,
                          const CStatementSettings& how) {
    if (!CanStart(settings, error)) // before the record is prepared
        return false;
    if (std::string fault = PacsCardFault(card); !fault.empty()) {
        *error = std::move(fault);
        return false;
    }
    CPreparedRecord prepared;
    if (!PrepareRecordForType(*RecordFileTypeOf(QStringLiteral(".dcm")), record, &card, prepared,
                              error))
        return false;
    // The statements a save to .dcm would write: the stored object is always that file's.
    const CFileStatements statements = RecordStatements(*prepared.m_pRecord, &prepared.m_Card, how);
    const QByteArray input = DicomHelperInput(*prepared.m_pRecord, prepared.m_Card, statements);
    // Bound to its order, the record goes into the order's study with its request.
    const QStringList order = OrderHelperArgs(how.m_Order);
    if (!how.m_MakeReportPdf)
        return Start(settings, QStringList{QStringLiteral("store-record")} + order, input, error);
    if (InterchangeHelperPath().isEmpty()) { // said now, not after the drawing
        *error = "the helper velmora-interchange is not installed";
        return false;
    }
    // The printed report goes beside the ECG, in its study, for viewers that draw no waveform.
    // Drawing a page takes a good part of a second: on a thread of its own, then the helper.
    struct CDrawn {
        std::vector<uint8_t> pdf;
        std::string why;
        bool bOk = false;
    };
    auto drawn = std::make_shared<CDrawn>();
    std::shared_ptr<const CPreparedRecord> source =
        std::make_shared<CPreparedRecord>(std::move(prepared));
    m_bCancelled = m_bDone = m_bOk = false;
    m_strReason.clear();
    m_strInstance.clear();
    m_strReportInstance.clear();
    m_bDrawing = true;
    m_pDrawing.reset(QThread::create([maker = how.m_MakeReportPdf, source, drawn] {
        drawn->bOk = maker(*source->m_pRecord, source->m_Card, drawn->pdf, &drawn->why);
    }));
    connect(m_pDrawing.get(), &QThread::finished, this, [this, settings, input, drawn, order] {
        m_bDrawing = false;
        if (!drawn->bOk) {
            Finish(false, QStringLiteral("the report could not be printed for the PACS: %1")
                              .arg(QString::fromStdString(drawn->why)));
            return;
        }
        std::string why;
        if (!Start(settings, QStringList{QStringLiteral("store-record")} + order,
                   input + QByteArray::fromStdString(
                               WriteReportPdfBlock(drawn->pdf.data(), drawn->pdf.size())),
                   &why))
            Finish(false, QString::fromStdString(why));
    });
    m_pDrawing->start();
    return true;
}

bool CPacsJob::StartStoreFile(const CViewSettings& settings, const QString& path,
                              std::string* error) {
    return Start(settings, {QStringLiteral("store"), path}, {}, error);
}

void CPacsJob::Cancel() {
    if (!IsRunning())
        return;
    m_bCancelled = true;
    if (m_bDrawing) {
        // The drawing runs out on its own; nothing is sent after it.
        m_pDrawing->disconnect(this);
        m_Abandoned.push_back(std::move(m_pDrawing));
        m_bDrawing = false;
        Finish(false, QStringLiteral("cancelled"));
        return;
    }
    m_pProcess->kill();
}

void CPacsJob::Finish(bool bOk, const QString& reason) {
    m_bDone = true;
    m_bOk = bOk;
    m_strReason = reason;
    emit Finished(m_bOk, m_strReason);
}

void CPacsJob::OnFinished(int exitCode, QProcess::ExitStatus status) {
    if (m_bDone)
        return;
    m_bDone = true;
    m_bOk = !m_bCancelled && status == QProcess::NormalExit && exitCode == 0;
    if (m_bOk) {
        // The ECG's instance, then the report's when one went with it.
        const QList<QByteArray> lines = m_pProcess->readAllStandardOutput().trimmed().split('\n');
        m_strInstance = QString::fromLatin1(lines.value(0).trimmed());
        m_strReportInstance = QString::fromLatin1(lines.value(1).trimmed());
    } else if (m_bCancelled)
        m_strReason = QStringLiteral("cancelled");
    else if (!m_bOk)
        m_strReason = status == QProcess::NormalExit
                          ? QString::fromStdString(HelperReason(m_pProcess->readAllStandardError()))
                          : QStringLiteral("the helper ended without an answer (%1)")
                                .arg(m_pProcess->errorString());
    emit Finished(m_bOk, m_strReason);
}

bool CPacsJob::Wait(std::string* error) {
    if (IsRunning()) {
        QEventLoop loop;
        connect(this, &CPacsJob::Finished, &loop, &QEventLoop::quit);
        if (IsRunning())
            loop.exec();
    }
    if (!m_bOk)
        *error = m_strReason.toStdString();
    return m_bOk;
}
