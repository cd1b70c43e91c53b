#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One row of the table "nozioli".
struct ResultRecord
{
    QString nome;
    QDateTime data;                 // local date and time of the last archiving
    double sovragiusti = 0;
    double sovrasbagliati = 0;
    double nozioligiusti = 0;
    double noziolisbagliati = 0;
    double spaziotempogiusti = 0;
    double spaziotemposbagliati = 0;
};

// The six running totals written by one archiving.
struct ArchiveTotals
{
    qint64 sovragiusti = 0;
    qint64 sovrasbagliati = 0;
    qint64 nozioligiusti = 0;
    qint64 noziolisbagliati = 0;
    qint64 spaziotempogiusti = 0;
    qint64 spaziotemposbagliati = 0;
};

// Why an operation on the archive failed. The message is Italian and meant for
// the pupil or the teacher: what failed, which file in which folder, what to try.
struct StoreError
{
    enum Kind { None, Missing, Unreadable, NotAnArchive, WrongLayout, ReadOnly, Locked, DiskFull, Other };
    Kind kind = None;
    QString message;
    explicit operator bool() const { return kind != None; }
};

// The results archive "nozioli.mdb": an SQLite file holding the table
// "nozioli", one row per pupil. Names are compared ignoring case (full Unicode
// case folding), listed in the order the rows were added.
class ResultsStore
{
public:
    static QString defaultFileName() { return QStringLiteral("nozioli.mdb"); }
    static constexpr int LayoutVersion = 1;

    ResultsStore();
    ~ResultsStore();
    ResultsStore(const ResultsStore &) = delete;
    ResultsStore &operator=(const ResultsStore &) = delete;

    // Opens an existing archive; creates nothing. Fails when the file is
    // missing, unreadable, not an archive, or lacks the table or its index.
    bool open(const QString &path = defaultFileName());
    void close();
    bool isOpen() const;
    QString filePath() const;       // absolute path of the open (or last tried) file
    const StoreError &lastError() const { return m_error; }

    // Every non-empty name, in the order the rows were added. nullopt on failure.
    std::optional<QStringList> listNames();

    enum class Lookup { Found, NotFound, Failed };
    // Finds the row whose name matches, ignoring case.
    Lookup find(const QString &name, ResultRecord *record);

    // Writes the totals and the moment into the row of the name, adding the row
    // when missing, in one immediate transaction. False (and lastError) on failure.
    bool save(const QString &name, const ArchiveTotals &totals, const QDateTime &when);

    // Creates a new, empty archive; refuses to overwrite an existing file.
    static bool create(const QString &path, StoreError *error);

    // NFC, then Unicode full case folding: the key names are compared by.
    static QString foldName(const QString &name);

private:
    struct Private;
    Private *d;
    StoreError m_error;
};
