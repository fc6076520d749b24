#include "document/ecg_document.h"

#include "platform/cp1251.h"

#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace {

// "30 мин", "1 ч 5 мин", "45 с".
QString DurationText(double seconds) {
    const long s = std::lround(seconds);
    if (s < 60)
        return QStringLiteral("%1 с").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 мин").arg(s / 60);
    return s % 3600 >= 60 ? QStringLiteral("%1 ч %2 мин").arg(s / 3600).arg(s % 3600 / 60)
                          : QStringLiteral("%1 ч").arg(s / 3600);
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
        return {};
    QString title = QFileInfo(m_strFilePath).fileName();
    if (m_dSourceSeconds > 0)
        title += QStringLiteral(" (первые 10 с из %1)").arg(DurationText(m_dSourceSeconds));
    return title;
}

void CEcgDocument::Take(const CLoadedRecord& loaded, const QString& path) {
    m_state.ShowRecord(*loaded.pRecord, loaded.card, loaded.absentLanes);
    m_strFilePath = QFileInfo(path).absoluteFilePath();
    m_dSourceSeconds = loaded.dSourceSeconds;
    Remeasure();
    emit FileChanged(m_strFilePath);
}

void CEcgDocument::SavedAs(const QString& path) {
    m_strFilePath = QFileInfo(path).absoluteFilePath();
    m_dSourceSeconds = 0; // the file holds what the window holds
    emit FileChanged(m_strFilePath);
}

void CEcgDocument::ReceptionStarted() {
    m_strFilePath.clear();
    m_dSourceSeconds = 0;
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
    m_measurements =
        m_bMeasured ? analysis::MeasureRecord(Record(), m_filters) : analysis::Measurements{};
    emit MeasurementsChanged();
}

const RECORD_DEFINITION& CEcgDocument::ApplyCard() {
    ParseRecordDefinition(m_state.m_Card, *m_state.m_pRecord, m_definition);
    return m_definition;
}

QString CEcgDocument::ProposedFileName(const char* extension) const {
    const RECORD_DEFINITION& d = m_definition;
    QString name = QString::fromLatin1(d.szRecordNumber,
                                       int(strnlen(d.szRecordNumber, sizeof d.szRecordNumber)));
    for (const char* part : {d.szNamePart2, d.szNamePart3})
        if (part[0])
            name += QLatin1Char(' ') + FromCp1251(QByteArray(part, int(strnlen(part, 20))));
    return name + QLatin1String(extension);
}
