#pragma once

#include "store/resultsstore.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The three kinds of answer, and all of them together.
enum class AnswerKind { Sovranozioli, Nozioli, SpazioTempo, Overall };
inline constexpr int answerKindCount = 4;

// Share of right answers in percent (0–100); nullopt when there are no
// answers of that kind, which is shown as "–".
using Share = std::optional<double>;

// One pupil's row of the class table, with everything sorting and searching
// need worked out once when the archive is read.
struct PupilRow
{
    ResultRecord record;
    std::array<Share, answerKindCount> shares;
    QString searchKey;          // folded for searching: no case, no accents
    int nameRank = 0;           // position in Italian alphabetical order, which is the row's
    qint64 dateKey = 0;         // ms since the epoch, the lowest for no date
};

// The class table: one row per pupil of the archive, in Italian alphabetical
// order of the names; other orders and the search are left to a
// ClassFilterModel above it.
class ClassTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Name,
        LastArchiving,
        SovraRight,
        SovraWrong,
        NozioliRight,
        NozioliWrong,
        SpazioTempoRight,
        SpazioTempoWrong,
        SovraShare,
        NozioliShare,
        SpazioTempoShare,
        OverallShare,
        ColumnCount
    };

    explicit ClassTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Works out the rows of the archive's records: shares, search keys, and
    // puts them in alphabetical order. Plain data, safe on any thread.
    static std::vector<PupilRow> prepare(const QList<ResultRecord> &records);

    // Replaces the rows with the archive's. When every name on show is still
    // there (an archiving adds a pupil or changes one), the new rows are
    // announced as inserted where they fall and the changed ones as changed,
    // so that views keep their selection and sort; anything else resets the model.
    void setRows(std::vector<PupilRow> rows);
    void setRecords(const QList<ResultRecord> &records) { setRows(prepare(records)); }

    const PupilRow &pupil(int row) const { return m_rows[size_t(row)]; }
    int pupilCount() const { return int(m_rows.size()); }
    // The row of a name as stored, or -1.
    int rowOfName(const QString &name) const;

    // Orders two rows by a column: names in Italian alphabetical order, the
    // rest by value; "–" comes before every share. Rows of equal value are
    // put in alphabetical order whichever way the column is sorted.
    bool lessThan(int left, int right, int column, Qt::SortOrder order = Qt::AscendingOrder) const;

    // The text of a cell as the table shows it.
    QString text(int row, int column) const;

    // Column titles: the full one, on one line (spreadsheet, tooltips), and
    // the short one of the table's header and the printed report.
    static QString title(int column);
    static QString shortTitle(int column);

    // The counts of right and wrong answers of a kind (not Overall).
    static double right(const ResultRecord &r, AnswerKind kind);
    static double wrong(const ResultRecord &r, AnswerKind kind);
    static Share share(const ResultRecord &r, AnswerKind kind);
    // "66,7%", or "–" for no answers.
    static QString shareText(const Share &share);
    // A count as Italian writes it ("32.767"), and "1 alunno", "32.767 alunni".
    static QString countText(qint64 n);
    static QString pupilsText(qint64 n);
    static QString dateText(const QDateTime &when);
    // The name of a kind as the table and the charts show it.
    static QString kindName(AnswerKind kind);
    // Folds a name or a search for matching: case folded, accents removed.
    static QString searchKey(const QString &text);

private:
    static PupilRow makeRow(const ResultRecord &record);

    std::vector<PupilRow> m_rows;
};
