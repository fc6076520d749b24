#pragma once
// CArchiveKeeper: takes the window's records into the archive on a thread of its own, so that
// the window never waits for the database. Requests run one after the other in the order given;
// each answers with Done(ticket, record id, error) on the creator's thread. The archive opens
// at the first request, so a program that never archives never touches the database.
//
//     m_pKeeper = new CArchiveKeeper(where, this);
//     const quint64 t = m_pKeeper->Import(path, card);
//     connect(m_pKeeper, &CArchiveKeeper::Done, this, [t](quint64 ticket, qint64 id, ...) {...});

#include "archive/archive_store.h"

#include <QObject>
#include <QThread>

class CArchiveKeeperWorker;

class CArchiveKeeper : public QObject {
    Q_OBJECT
public:
    explicit CArchiveKeeper(const CArchiveLocation& where, QObject* parent = nullptr);
    ~CArchiveKeeper() override; // waits for the request under way, drops the rest

    // A record file into the archive (ImportFile); a card given with a surname then becomes
    // the record's card when the file's differs (the window's card is the newer one).
    quint64 Import(const QString& path, const PATIENT_CARD& card, const CRecordOrder& order = {});
    // The window's card for a record already in the archive. A bound order goes with either
    // (none: the record's order in the archive is left as it is).
    quint64 UpdateCard(qint64 id, const PATIENT_CARD& card, const CRecordOrder& order = {});

signals:
    // error empty: done, id the record's; else nothing of the request was written.
    void Done(quint64 ticket, qint64 id, const QString& error);

private:
    QThread m_thread;
    CArchiveKeeperWorker* m_pWorker;
    quint64 m_nNextTicket = 1;
};

// The part that lives on the keeper's thread and owns its connection to the archive.
class CArchiveKeeperWorker : public QObject {
    Q_OBJECT
public:
    explicit CArchiveKeeperWorker(const CArchiveLocation& where) : m_where(where) {}

public slots:
    void Import(quint64 ticket, const QString& path, const QByteArray& card,
                const QStringList& order);
    void UpdateCard(quint64 ticket, qint64 id, const QByteArray& card, const QStringList& order);

signals:
    void Done(quint64 ticket, qint64 id, const QString& error);

private:
    bool Ready(QString* error);

    CArchiveLocation m_where;
    std::unique_ptr<CArchive> m_pArchive;
};
