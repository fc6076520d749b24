#include "archive/archive_keeper.h"

#include <cstring>

namespace {

QByteArray Bytes(const PATIENT_CARD& card) {
    return QByteArray(reinterpret_cast<const char*>(&card), sizeof card);
}

PATIENT_CARD Card(const QByteArray& bytes) {
    PATIENT_CARD card{};
    if (bytes.size() == qsizetype(sizeof card))
        std::memcpy(&card, bytes.constData(), sizeof card);
    return card;
}

// The order as it crosses to the keeper's thread: its fields in order.
QStringList Fields(const CRecordOrder& o) {
    if (!o.Bound())
        return {};
    QStringList fields;
    for (const std::string* f :
         {&o.m_strAccession, &o.m_strStudyUid, &o.m_strRequestedProcedureId,
          &o.m_strProcedureDescription, &o.m_strScheduledStepId, &o.m_strScheduledStart,
          &o.m_strStationAeTitle, &o.m_strReferringPhysician})
        fields << QString::fromStdString(*f);
    return fields;
}

CRecordOrder OrderOf(const QStringList& fields) {
    CRecordOrder o;
    std::string* out[] = {&o.m_strAccession,
                          &o.m_strStudyUid,
                          &o.m_strRequestedProcedureId,
                          &o.m_strProcedureDescription,
                          &o.m_strScheduledStepId,
                          &o.m_strScheduledStart,
                          &o.m_strStationAeTitle,
                          &o.m_strReferringPhysician};
    for (qsizetype i = 0; i < fields.size() && i < 8; ++i)
        *out[i] = fields[i].toStdString();
    return o;
}

} // namespace

CArchiveKeeper::CArchiveKeeper(const CArchiveLocation& where, QObject* parent)
    : QObject(parent), m_pWorker(new CArchiveKeeperWorker(where)) {
    m_pWorker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_pWorker, &QObject::deleteLater);
    connect(m_pWorker, &CArchiveKeeperWorker::Done, this, &CArchiveKeeper::Done);
    m_thread.setObjectName(QStringLiteral("archive keeper"));
    m_thread.start();
}

CArchiveKeeper::~CArchiveKeeper() {
    m_thread.quit();
    m_thread.wait();
}

quint64 CArchiveKeeper::Import(const QString& path, const PATIENT_CARD& card,
                               const CRecordOrder& order) {
    const quint64 ticket = m_nNextTicket++;
    QMetaObject::invokeMethod(m_pWorker, "Import", Qt::QueuedConnection, Q_ARG(quint64, ticket),
                              Q_ARG(QString, path), Q_ARG(QByteArray, Bytes(card)),
                              Q_ARG(QStringList, Fields(order)));
    return ticket;
}

quint64 CArchiveKeeper::UpdateCard(qint64 id, const PATIENT_CARD& card, const CRecordOrder& order) {
    const quint64 ticket = m_nNextTicket++;
    QMetaObject::invokeMethod(m_pWorker, "UpdateCard", Qt::QueuedConnection, Q_ARG(quint64, ticket),
                              Q_ARG(qint64, id), Q_ARG(QByteArray, Bytes(card)),
                              Q_ARG(QStringList, Fields(order)));
    return ticket;
}

bool CArchiveKeeperWorker::Ready(QString* error) {
    if (m_pArchive)
        return true;
    auto archive = std::make_unique<CArchive>();
    if (!archive->Open(m_where, error))
        return false; // tried again at the next request: the server may be back by then
    m_pArchive = std::move(archive);
    return true;
}

void CArchiveKeeperWorker::Import(quint64 ticket, const QString& path, const QByteArray& card,
                                  const QStringList& order) {
    QString error;
    qint64 id = 0;
    CArchive::Added added{};
    const PATIENT_CARD given = Card(card);
    if (Ready(&error) && m_pArchive->ImportFile(path, &added, &id, &error) &&
        (given.last_name[0] == 0 || m_pArchive->UpdateCard(id, given, &error)) && !order.isEmpty())
        m_pArchive->SetOrder(id, OrderOf(order), &error);
    emit Done(ticket, error.isEmpty() ? id : 0, error);
}

void CArchiveKeeperWorker::UpdateCard(quint64 ticket, qint64 id, const QByteArray& card,
                                      const QStringList& order) {
    QString error;
    if (Ready(&error) && m_pArchive->UpdateCard(id, Card(card), &error) && !order.isEmpty())
        m_pArchive->SetOrder(id, OrderOf(order), &error);
    emit Done(ticket, error.isEmpty() ? id : 0, error);
}
