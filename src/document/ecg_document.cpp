#include "document/ecg_document.h"

#include "storage/card_fields.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace {

// "30 мин", "1 ч 5 мин", "45 с".
QString DurationText(double seconds) {
    const long s = std::lround(seconds);
    if (s < 60)
        return QCoreApplication::translate("CEcgDocument", "%1 с").arg(s);
    if (s < 3600)
        return QCoreApplication::translate("CEcgDocument", "%1 мин").arg(s / 60);
    return s % 3600 >= 60 ? QCoreApplication::translate("CEcgDocument", "%1 ч %2 мин")
                                .arg(s / 3600)
                                .arg(s % 3600 / 60)
                          : QCoreApplication::translate("CEcgDocument", "%1 ч").arg(s / 3600);
}

} // namespace

CEcgDocument::CEcgDocument(CSessionState& state, QObject* parent)
    : QObject(parent), m_state(state) {}

void CEcgDocument::SetSending(bool bSending) {
    if (Sending() == bSending)
        return;
    m_state.m_bSending = bSending ? 1 : 0;
    emit SendingChanged();
}

QString CEcgDocument::FileTitle() const {
    if (m_strFilePath.isEmpty())
        return m_strArchiveTitle;
    QString title = QFileInfo(m_strFilePath).fileName();
    if (m_dSourceSeconds > 0)
        title += tr(" (первые 10 с из %1)").arg(DurationText(m_dSourceSeconds));
    return title;
}

void CEcgDocument::Take(const CLoadedRecord& loaded, const QString& path) {
    m_state.ShowRecord(*loaded.pRecord, loaded.card, loaded.absentLanes);
    m_unkept = Unkept::Nothing;
    m_strFilePath = QFileInfo(path).absoluteFilePath();
    m_dSourceSeconds = loaded.dSourceSeconds;
    m_fileFindings = loaded.fileFindings;
    m_fileStatements = loaded.fileStatements;
    m_nArchiveId = 0;
    m_strArchiveTitle.clear();
    SetReading({});
    m_order = loaded.order;
    Remeasure();
    emit OrderChanged();
    emit FileChanged(m_strFilePath);
    emit Opened(m_strFilePath);
}

void CEcgDocument::TakeArchived(const CLoadedRecord& loaded, qint64 id, const QString& title) {
    m_state.ShowRecord(*loaded.pRecord, loaded.card, loaded.absentLanes);
    m_unkept = Unkept::Nothing;
    m_strFilePath.clear();
    m_dSourceSeconds = loaded.dSourceSeconds;
    m_fileFindings = {};
    m_fileStatements = {};
    m_nArchiveId = id;
    m_strArchiveTitle = title;
    SetReading({});
    m_order = loaded.order;
    Remeasure();
    emit OrderChanged();
    emit FileChanged(m_strFilePath);
}

void CEcgDocument::BindOrder(const CRecordOrder& order) {
    m_order = order;
    if (m_unkept == Unkept::Nothing && Finished())
        m_unkept = Unkept::Card;
    emit OrderChanged();
}

void CEcgDocument::SavedAs(const QString& path) {
    m_strFilePath = QFileInfo(path).absoluteFilePath();
    m_dSourceSeconds = 0; // the file holds what the window holds
    m_unkept = Unkept::Nothing;
    m_strArchiveTitle.clear();
    emit FileChanged(m_strFilePath);
    emit Saved(m_strFilePath);
}

void CEcgDocument::ReceptionStarted() {
    m_unkept = Unkept::Nothing; // the record it replaces was let go
    m_strFilePath.clear();
    m_dSourceSeconds = 0;
    m_fileFindings = {};
    m_fileStatements = {};
    m_nArchiveId = 0; // a new recording
    m_strArchiveTitle.clear();
    SetReading({});
}

void CEcgDocument::SetReading(const CDoctorReading& reading) {
    if (!reading.Confirmed() && !m_reading.Confirmed())
        return;
    m_reading = reading;
    emit ReadingChanged();
}

void CEcgDocument::SetFilters(const std::vector<analysis::Filter>& filters) {
    if (filters == m_filters)
        return;
    m_filters = filters;
    if (m_bMeasured)
        Remeasure();
}

void CEcgDocument::Remeasure() {
    m_bMeasured = Finished();
    analysis::RecordAnalysis a;
    if (m_bMeasured)
        a = analysis::AnalyseRecord(Record(), &m_state.m_Card, m_filters, m_interpretationSettings);
    m_measurements = std::move(a.measurements);
    m_interpretation = std::move(a.interpretation);
    emit MeasurementsChanged();
}

void CEcgDocument::SetRatePractice(analysis::RatePractice practice) {
    if (practice == m_interpretationSettings.practice)
        return;
    m_interpretationSettings.practice = practice;
    if (m_bMeasured)
        Remeasure();
}

void CEcgDocument::CardEdited() {
    if (m_unkept == Unkept::Nothing && Finished())
        m_unkept = Unkept::Card;
    if (m_bMeasured)
        Remeasure();
    emit CardChanged();
}

const RECORD_DEFINITION& CEcgDocument::ApplyCard() {
    ParseRecordDefinition(m_state.m_Card, *m_state.m_pRecord, m_definition);
    return m_definition;
}

QString CEcgDocument::ProposedFileName(const char* extension) const {
    // The patient and the moment of recording, so that every record of one cardiograph does not
    // propose the same name; the record number only when the record has no date.
    const PATIENT_CARD& c = m_state.m_Card;
    const ECG_RECORD& r = Record();
    auto text = [](const char* field, size_t size) {
        return QString::fromStdString(CardTextUtf8(field, size));
    };
    QString name = text(c.last_name, sizeof c.last_name);
    if (name.isEmpty()) {
        name = tr("ЭКГ");
    } else {
        for (const QString& given :
             {text(c.first_name, sizeof c.first_name), text(c.patronymic, sizeof c.patronymic)})
            if (!given.isEmpty())
                name += (name.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(" ")) +
                        given.left(1) + QLatin1Char('.');
    }
    const QString date = QString::fromLatin1(r.date, int(strnlen(r.date, sizeof r.date))).trimmed();
    if (!date.isEmpty()) {
        name += QLatin1Char(' ') + date;
    } else if (r.device_id != 0) {
        char number[20];
        FormatRecordNumber(r.device_id, number);
        name += QLatin1Char(' ') + QString::fromLatin1(number);
    }
    // Nothing a file system or a file dialog reads as a folder, a pattern or a control.
    for (QChar& ch : name)
        if (ch.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = ch == QLatin1Char(':') ? QLatin1Char('-') : QLatin1Char('_');
    return name + QLatin1String(extension);
}
