// Helpers shared by the archive tests: real archive files and direct SQL on them.
#pragma once

#include "store/resultsstore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <memory>

// Starts a test in a new temporary folder: path is its "nozioli.mdb", made
// empty when create is true. Any warning (a connection still in use, a
// malformed message) then fails the test. Returns what went wrong, or "".
inline QString newArchiveFolder(std::unique_ptr<QTemporaryDir> &dir, QString &path, bool create)
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        return dir->errorString();
    path = dir->filePath(ResultsStore::defaultFileName());
    StoreError e;
    return !create || ResultsStore::create(path, &e) ? QString() : e.message;
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Puts new content at the path under a new file, as a copy or a restore would.
inline bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Overwrites the same file in place.
inline bool overwriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The first bytes of a desktop database of the Jet engine.
inline QByteArray jetFile()
{
    QByteArray b("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    b.append(4096 - b.size(), '\x5a');
    return b;
}

inline QByteArray garbage()
{
    QByteArray b;
    for (int i = 0; i < 8192; ++i)
        b.append(char((i * 37 + 11) % 251));
    return b;
}

// A second, plain connection to an archive file, for what the store itself never does.
class RawDb
{
public:
    explicit RawDb(const QString &path)
        : m_name(QStringLiteral("raw-%1").arg(quintptr(this)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    bool exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        return q.exec(sql);
    }

    // Every row of a query, each as a list of values.
    QList<QVariantList> rows(const QString &sql)
    {
        QList<QVariantList> out;
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql))
            return out;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
        return out;
    }

    QVariant value(const QString &sql)
    {
        const QList<QVariantList> r = rows(sql);
        return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
    }

private:
    QString m_name;
};

inline ArchiveTotals totals(qint64 base)
{
    ArchiveTotals t;
    t.sovragiusti = base + 1;
    t.sovrasbagliati = base + 2;
    t.nozioligiusti = base + 3;
    t.noziolisbagliati = base + 4;
    t.spaziotempogiusti = base + 5;
    t.spaziotemposbagliati = base + 6;
    return t;
}

inline bool sameTotals(const ResultRecord &r, const ArchiveTotals &t)
{
    return r.sovragiusti == double(t.sovragiusti) && r.sovrasbagliati == double(t.sovrasbagliati)
        && r.nozioligiusti == double(t.nozioligiusti) && r.noziolisbagliati == double(t.noziolisbagliati)
        && r.spaziotempogiusti == double(t.spaziotempogiusti)
        && r.spaziotemposbagliati == double(t.spaziotemposbagliati);
}
