#include "record_io/interchange_helper.h"

#include "platform/cp1251.h"
#include "storage/card_fields.h"
#include "storage/statements_block.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <cstring>

namespace {

constexpr char kHelperName[] = "velmora-interchange";
constexpr int kReadTimeoutMs = 30000;

void SetText(char* field, size_t size, const std::string& utf8) {
    const QByteArray coded = ToCp1251(QString::fromStdString(utf8).simplified());
    const size_t n = std::min(size - 1, size_t(coded.size()));
    std::memcpy(field, coded.constData(), n);
    field[n] = 0;
}

// The cancel flag of the innermost scope on this thread, if any.
thread_local const std::atomic<bool>* t_pCancel = nullptr;

// How often a waiting run looks at its cancel flag.
constexpr int kCancelPollMs = 50;

} // namespace

CHelperCancelScope::CHelperCancelScope(const std::atomic<bool>& cancel) : m_pPrevious(t_pCancel) {
    t_pCancel = &cancel;
}

CHelperCancelScope::~CHelperCancelScope() {
    t_pCancel = m_pPrevious;
}

bool CHelperCancelScope::Cancelled() {
    return t_pCancel && t_pCancel->load();
}

QString InterchangeHelperPath() {
    const QString own = qEnvironmentVariable("VELMORA_INTERCHANGE");
    if (!own.isEmpty())
        return own;
    QStringList places;
    if (QCoreApplication::instance()) {
        const QDir dir(QCoreApplication::applicationDirPath());
        places << dir.filePath(QLatin1String(kHelperName))
               << dir.filePath(QStringLiteral("../libexec/velmora/") + QLatin1String(kHelperName));
    }
    places << QStringLiteral(VELMORA_INTERCHANGE_BUILD_PATH);
    for (const QString& p : places)
        if (QFileInfo(p).isExecutable())
            return p;
    return {};
}

namespace {
constexpr char kHelperStopped[] = "the helper stopped unexpectedly";
} // namespace

std::string HelperReason(const QByteArray& standardError) {
    // Our own reason is the last line; what a library printed before it speaks of its internals.
    const QList<QByteArray> lines = standardError.trimmed().split('\n');
    std::string reason = lines.isEmpty() ? std::string() : lines.last().trimmed().toStdString();
    if (reason.starts_with("ERROR") || reason.empty())
        return "the helper failed without saying why";
    return reason;
}

bool RunInterchangeHelper(const QStringList& args, const QByteArray& input, int timeoutMs,
                          QByteArray* out, std::string* error) {
    const QString helper = InterchangeHelperPath();
    if (helper.isEmpty()) {
        *error = std::string("the helper ") + kHelperName + " is not installed";
        return false;
    }
    QProcess p;
    p.start(helper, args);
    if (!p.waitForStarted(10000)) {
        *error = "cannot start " + helper.toStdString() + ": " + p.errorString().toStdString();
        return false;
    }
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    // Waited for in short slices, so that a cancel from another thread stops it at once.
    QElapsedTimer waited;
    waited.start();
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(kCancelPollMs)) {
        const bool cancelled = CHelperCancelScope::Cancelled();
        if (!cancelled && waited.elapsed() < timeoutMs)
            continue;
        p.kill();
        p.waitForFinished(2000);
        *error = cancelled ? std::string("cancelled")
                           : "the helper took more than " + std::to_string(timeoutMs / 1000) + " s";
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit) {
        // What the helper printed before it died is no reason; the callers say what it means.
        *error = kHelperStopped;
        return false;
    }
    if (p.exitCode() != 0) {
        *error = HelperReason(p.readAllStandardError());
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

bool ReadForeignFile(const QString& path, HelperReader reader, double seconds, ForeignEcg& ecg,
                     std::string* error, CFileDetails* details) {
    if (reader == HelperReader::None) {
        *error = "no reader of the helper reads it";
        return false;
    }
    QByteArray answer;
    if (!RunInterchangeHelper(
            {QStringLiteral("read"), path, QStringLiteral("--seconds"), QString::number(seconds),
             QStringLiteral("--reader"),
             reader == HelperReader::Dicom ? QStringLiteral("dicom") : QStringLiteral("biosig")},
            {}, kReadTimeoutMs, &answer, error)) {
        // A reader that dies on a file met something it could not take.
        if (*error == kHelperStopped)
            *error =
                "the file is damaged or not in a form velmora reads (its reader stopped on it)";
        return false;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(answer.constData());
    CFileDetails read;
    size_t used = 0;
    if (!ReadFileDetails(data, size_t(answer.size()), read, &used, error) ||
        !ReadSignalStream(data + used, size_t(answer.size()) - used, ecg, error))
        return false;
    if (details)
        *details = std::move(read);
    return true;
}

void CardFromForeign(const ForeignEcg& ecg, PATIENT_CARD& card, const CFileDetails* details) {
    std::memset(&card, 0, sizeof card);
    SetText(card.last_name, sizeof card.last_name, ecg.lastName);
    SetText(card.first_name, sizeof card.first_name, ecg.firstName);
    SetText(card.patronymic, sizeof card.patronymic, ecg.patronymic);
    card.birth_year = ecg.birthYear;
    card.birth_month = ecg.birthMonth;
    card.birth_day = ecg.birthDay;
    card.sex = ecg.sex == 1 ? 1 : ecg.sex == 0 ? 0 : kSexNotGiven; // a file that says none
    // A file's patient identifier is the hospital's number, unless it is the one we derive from
    // the names for a card without one: that stays derived, so the card matches its patient by
    // name as before.
    SetText(card.patient_id, sizeof card.patient_id, ecg.patientId);
    if (details)
        ApplyCardDetails(*details, card);
    if (DerivedPatientId(card) == CardPatientId(card))
        std::memset(card.patient_id, 0, sizeof card.patient_id);
}

QByteArray DicomHelperInput(const ECG_RECORD& record, const PATIENT_CARD& card,
                            const CFileStatements& statements) {
    QByteArray input(reinterpret_cast<const char*>(&record), sizeof record);
    input.append(reinterpret_cast<const char*>(&card), sizeof card);
    input.append(QByteArray::fromStdString(WriteStatementsBlock(statements)));
    return input;
}

QStringList OrderHelperArgs(const CRecordOrder& order) {
    if (!order.Bound())
        return {};
    QStringList args{QStringLiteral("--accession"), QString::fromStdString(order.m_strAccession)};
    for (const auto& [option, value] : {std::pair{"--study-uid", &order.m_strStudyUid},
                                        {"--procedure-id", &order.m_strRequestedProcedureId},
                                        {"--step-id", &order.m_strScheduledStepId},
                                        {"--procedure", &order.m_strProcedureDescription}})
        if (!value->empty())
            args << QLatin1String(option) << QString::fromStdString(*value);
    return args;
}

bool WriteDicomFile(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                    const CFileStatements& statements, std::string* error,
                    const CRecordOrder& order) {
    return RunInterchangeHelper(QStringList{QStringLiteral("dicom"), path} + OrderHelperArgs(order),
                                DicomHelperInput(record, card, statements), kReadTimeoutMs, nullptr,
                                error);
}
