#pragma once
// What the archive's tests share: the application, cards with Cyrillic names, a connection of
// their own beside the store's, and the fixture whose cases run on an SQLite file, and once more
// on PostgreSQL when VELMORA_TEST_PG names a server (postgresql://USER@HOST:PORT/DB, the password
// in PGPASSWORD; CTest runs the program so under tests/support/postgres_server.py): each case
// then has a database of its own.

#include "archive/archive_store.h"
#include "platform/cp1251.h"
#include "record_io/records_test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

inline QCoreApplication* App() {
    static int argc = 1;
    static char name[] = "archive_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

inline void SetName(PATIENT_CARD& card, const QString& last, const QString& first,
                    const QString& middle) {
    for (const auto& [field, text] :
         {std::pair{card.last_name, last}, std::pair{card.first_name, first},
          std::pair{card.patronymic, middle}}) {
        const QByteArray bytes = ToCp1251(text);
        std::memset(field, 0, 30);
        std::memcpy(field, bytes.constData(), size_t(bytes.size()));
    }
}

inline QByteArray BytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A connection of our own to the archive's database, beside the store's, to look at or prepare
// what the store reads.
class CRawDb {
public:
    explicit CRawDb(const CArchiveLocation& where) {
        static int next = 0;
        m_strName = QStringLiteral("raw-%1").arg(next++);
        const bool sqlite = where.kind == CArchiveLocation::Kind::Sqlite;
        QSqlDatabase db = QSqlDatabase::addDatabase(
            sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_strName);
        if (sqlite) {
            db.setDatabaseName(where.file);
        } else {
            db.setHostName(where.host);
            db.setPort(where.port);
            db.setDatabaseName(where.database);
            db.setUserName(where.user);
            db.setPassword(where.password);
        }
        m_bOpen = db.open();
        m_strError = db.lastError().text();
    }
    ~CRawDb() {
        QSqlDatabase::database(m_strName, false).close();
        QSqlDatabase::removeDatabase(m_strName);
    }
    bool IsOpen() const { return m_bOpen; }
    const QString& Error() const { return m_strError; }
    // The statement's first column, one value a row; false with the database's reason.
    bool Query(const QString& sql, const QVariantList& values, QVariantList* rows = nullptr) {
        QSqlQuery q(QSqlDatabase::database(m_strName, false));
        // Without values the statement runs as it is: PostgreSQL prepares no CREATE DATABASE.
        bool done = false;
        if (values.isEmpty()) {
            done = q.exec(sql);
        } else {
            q.prepare(sql);
            for (const QVariant& v : values)
                q.addBindValue(v);
            done = q.exec();
        }
        if (!done) {
            m_strError = q.lastError().text();
            return false;
        }
        while (rows && q.next())
            rows->append(q.value(0));
        return true;
    }
    QStringList Tables() const { return QSqlDatabase::database(m_strName, false).tables(); }

private:
    QString m_strName, m_strError;
    bool m_bOpen = false;
};

struct ArchiveTest : testing::Test {
    ArchiveTest() { App(); }

    void SetUp() override {
        const QString server = qEnvironmentVariable("VELMORA_TEST_PG");
        if (server.isEmpty())
            return;
        QString why;
        ASSERT_TRUE(CArchiveLocation::FromUrl(server, m_pg, &why)) << why.toStdString();
        m_pg.password = qEnvironmentVariable("PGPASSWORD");
        // A database of its own for each case, made through the server's given one.
        static int next = 0;
        const QString name =
            QStringLiteral("case_%1_%2").arg(QCoreApplication::applicationPid()).arg(next++);
        CRawDb admin(m_pg);
        ASSERT_TRUE(admin.IsOpen()) << admin.Error().toStdString();
        ASSERT_TRUE(admin.Query(QStringLiteral("CREATE DATABASE %1").arg(name), {}))
            << admin.Error().toStdString();
        m_pg.database = name;
        m_bPostgres = true;
    }

    // A record file of that type with that card, saved in the test's folder.
    QString Save(const QString& name, const PATIENT_CARD& card, int variant = 0) {
        auto record = MakeRecord();
        Sample(record->curves_buf, 7, 0) = int16_t(variant); // another recording
        const QString path = dir.filePath(name);
        std::string error;
        EXPECT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error)) << error;
        return path;
    }
    CArchiveLocation Location() const {
        if (m_bPostgres)
            return m_pg;
        CArchiveLocation l;
        l.file = dir.filePath(QStringLiteral("archive.sqlite"));
        return l;
    }
    QTemporaryDir dir;
    CArchiveLocation m_pg;
    bool m_bPostgres = false;
};
