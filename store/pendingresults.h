#pragma once

#include "store/resultsstore.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Results that could not be archived when the pupil left: kept in a file of
// this user's own (the application's local data folder) until a later start
// reaches an archive and writes them there.
//
// The file is rewritten whole and atomically; for each name (compared as the
// archive compares names) only the newest record is kept.
class PendingResults
{
public:
    struct Record
    {
        QString nome;
        QDateTime data;
        ArchiveTotals totals;
    };

    // The file in the application's local data folder.
    static QString defaultFilePath();

    explicit PendingResults(const QString &filePath = defaultFilePath());

    QString filePath() const { return m_path; }

    // The records kept, oldest first; none when the file is missing. A file
    // that cannot be read or understood gives nullopt and is left as it is.
    std::optional<QList<Record>> load() const;

    // Keeps the record, replacing an older one of the same name (a newer one
    // stays). False with error() when the file could not be written.
    bool add(const Record &record);

    // Writes every kept record into the archive, each in a transaction of its
    // own and only where the archive holds no newer moment for the name; a
    // record leaves the file only once its transaction is committed. Returns
    // the number written; error() says why some stay kept.
    int applyTo(ResultsStore &store);

    bool isEmpty() const;
    const QString &error() const { return m_error; }

private:
    bool save(const QList<Record> &records);

    QString m_path;
    QString m_error;
};
