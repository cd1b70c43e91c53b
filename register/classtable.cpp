#include "register/classtable.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <future>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

struct KindFields
{
    double ResultRecord::*right;
    double ResultRecord::*wrong;
};

// Sovranozioli, nozioli, spazio-tempo, in the order of AnswerKind.
constexpr KindFields kindFields[] = {
    {&ResultRecord::sovragiusti, &ResultRecord::sovrasbagliati},
    {&ResultRecord::nozioligiusti, &ResultRecord::noziolisbagliati},
    {&ResultRecord::spaziotempogiusti, &ResultRecord::spaziotemposbagliati},
};

// The six count columns, in the order of the table.
constexpr double ResultRecord::*countColumns[] = {
    &ResultRecord::sovragiusti,       &ResultRecord::sovrasbagliati,
    &ResultRecord::nozioligiusti,     &ResultRecord::noziolisbagliati,
    &ResultRecord::spaziotempogiusti, &ResultRecord::spaziotemposbagliati,
};

bool isCount(int column)
{
    return column >= ClassTableModel::SovraRight && column <= ClassTableModel::SpazioTempoWrong;
}

bool isShare(int column)
{
    return column >= ClassTableModel::SovraShare && column <= ClassTableModel::OverallShare;
}

AnswerKind shareKind(int column)
{
    return AnswerKind(column - ClassTableModel::SovraShare);
}

QString totalText(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(qint64(v));
    return QLocale(QLocale::Italian).toString(v, 'g', 15);
}

bool sameRecord(const ResultRecord &a, const ResultRecord &b)
{
    if (a.nome != b.nome || a.data != b.data)
        return false;
    for (double ResultRecord::*c : countColumns) {
        if (a.*c != b.*c)
            return false;
    }
    return true;
}

} // namespace

ClassTableModel::ClassTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int ClassTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : pupilCount();
}

int ClassTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClassTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= pupilCount())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), column);
    case Qt::TextAlignmentRole:
        return column == Name ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::AccessibleTextRole:
        // A screen reader says what the dash means.
        if (isShare(column) && !pupil(index.row()).shares[size_t(shareKind(column))])
            return QStringLiteral("nessuna risposta");
        return text(index.row(), column);
    default:
        return {};
    }
}

QVariant ClassTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return shortTitle(section);
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return title(section);
    default:
        return {};
    }
}

QString ClassTableModel::kindName(AnswerKind kind)
{
    switch (kind) {
    case AnswerKind::Sovranozioli: return QStringLiteral("Sovranozioli");
    case AnswerKind::Nozioli: return QStringLiteral("Nozioli");
    case AnswerKind::SpazioTempo: return QStringLiteral("Spazio-tempo");
    case AnswerKind::Overall: return QStringLiteral("In tutto");
    }
    return {};
}

QString ClassTableModel::title(int column)
{
    switch (column) {
    case Name: return QStringLiteral("Alunno");
    case LastArchiving: return QStringLiteral("Ultima archiviazione");
    case SovraRight: return QStringLiteral("Sovranozioli giusti");
    case SovraWrong: return QStringLiteral("Sovranozioli sbagliati");
    case NozioliRight: return QStringLiteral("Nozioli giusti");
    case NozioliWrong: return QStringLiteral("Nozioli sbagliati");
    case SpazioTempoRight: return QStringLiteral("Spazio-tempo giusti");
    case SpazioTempoWrong: return QStringLiteral("Spazio-tempo sbagliati");
    case SovraShare: return QStringLiteral("% giusti sovranozioli");
    case NozioliShare: return QStringLiteral("% giusti nozioli");
    case SpazioTempoShare: return QStringLiteral("% giusti spazio-tempo");
    case OverallShare: return QStringLiteral("% giusti in tutto");
    default: return {};
    }
}

QString ClassTableModel::shortTitle(int column)
{
    switch (column) {
    case Name: return QStringLiteral("Alunno");
    case LastArchiving: return QStringLiteral("Ultima\narchiviazione");
    case SovraRight: return QStringLiteral("Sovra\ngiusti");
    case SovraWrong: return QStringLiteral("Sovra\nsbagliati");
    case NozioliRight: return QStringLiteral("Nozioli\ngiusti");
    case NozioliWrong: return QStringLiteral("Nozioli\nsbagliati");
    case SpazioTempoRight: return QStringLiteral("Sp.-tempo\ngiusti");
    case SpazioTempoWrong: return QStringLiteral("Sp.-tempo\nsbagliati");
    case SovraShare: return QStringLiteral("% giusti\nsovra");
    case NozioliShare: return QStringLiteral("% giusti\nnozioli");
    case SpazioTempoShare: return QStringLiteral("% giusti\nsp.-tempo");
    case OverallShare: return QStringLiteral("% giusti\nin tutto");
    default: return {};
    }
}

double ClassTableModel::right(const ResultRecord &r, AnswerKind kind)
{
    if (kind == AnswerKind::Overall)
        return right(r, AnswerKind::Sovranozioli) + right(r, AnswerKind::Nozioli) + right(r, AnswerKind::SpazioTempo);
    return r.*kindFields[size_t(kind)].right;
}

double ClassTableModel::wrong(const ResultRecord &r, AnswerKind kind)
{
    if (kind == AnswerKind::Overall)
        return wrong(r, AnswerKind::Sovranozioli) + wrong(r, AnswerKind::Nozioli) + wrong(r, AnswerKind::SpazioTempo);
    return r.*kindFields[size_t(kind)].wrong;
}

Share ClassTableModel::share(const ResultRecord &r, AnswerKind kind)
{
    const double good = right(r, kind);
    const double all = good + wrong(r, kind);
    if (!(all > 0))
        return std::nullopt;
    return 100.0 * good / all;
}

QString ClassTableModel::countText(qint64 n)
{
    return QLocale(QLocale::Italian).toString(n);
}

QString ClassTableModel::pupilsText(qint64 n)
{
    return n == 1 ? QStringLiteral("1 alunno") : countText(n) + QStringLiteral(" alunni");
}

QString ClassTableModel::shareText(const Share &share)
{
    if (!share)
        return QStringLiteral("–");
    return QLocale(QLocale::Italian).toString(*share, 'f', 1) + u'%';
}

QString ClassTableModel::dateText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QString();
}

QString ClassTableModel::searchKey(const QString &text)
{
    // Most names are plain ASCII with single spaces: lower-cased by hand,
    // without Qt's Unicode case tables.
    bool plain = !text.startsWith(u' ') && !text.endsWith(u' ');
    for (qsizetype i = 0; plain && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        plain = c >= 0x20 && c < 0x7f && !(c == u' ' && i > 0 && text[i - 1] == u' ');
    }
    if (plain) {
        QString lower = text;
        for (QChar &c : lower) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + (u'a' - u'A'));
        }
        return lower;
    }
    const QString simple = text.simplified();
    // Compatibility decomposition splits letters from their accents (and "ﬁ"
    // into "fi"); the accents are then left out.
    const QString decomposed = simple.normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            bare += c;
    }
    return bare.toCaseFolded();
}

QString ClassTableModel::text(int row, int column) const
{
    const PupilRow &p = pupil(row);
    if (column == Name)
        return p.record.nome;
    if (column == LastArchiving)
        return dateText(p.record.data);
    if (isCount(column))
        return totalText(p.record.*countColumns[column - SovraRight]);
    if (isShare(column))
        return shareText(p.shares[size_t(shareKind(column))]);
    return {};
}

bool ClassTableModel::lessThan(int left, int right, int column, Qt::SortOrder order) const
{
    const PupilRow &a = pupil(left);
    const PupilRow &b = pupil(right);
    if (column == LastArchiving && a.dateKey != b.dateKey)
        return a.dateKey < b.dateKey;
    if (isCount(column)) {
        const double x = a.record.*countColumns[column - SovraRight];
        const double y = b.record.*countColumns[column - SovraRight];
        if (x != y)
            return x < y;
    }
    if (isShare(column)) {
        const Share &x = a.shares[size_t(shareKind(column))];
        const Share &y = b.shares[size_t(shareKind(column))];
        const double kx = x ? *x : -1.0;
        const double ky = y ? *y : -1.0;
        if (kx != ky)
            return kx < ky;
    }
    // A descending sort turns the order round, ties too.
    if (column != Name && order == Qt::DescendingOrder)
        return a.nameRank > b.nameRank;
    return a.nameRank < b.nameRank;
}

int ClassTableModel::rowOfName(const QString &name) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].record.nome == name)
            return int(i);
    }
    return -1;
}

PupilRow ClassTableModel::makeRow(const ResultRecord &record)
{
    PupilRow p;
    p.record = record;
    for (int k = 0; k < answerKindCount; ++k)
        p.shares[size_t(k)] = share(record, AnswerKind(k));
    p.searchKey = searchKey(record.nome);
    // Wall-clock time without a time zone: the archive stores local time.
    p.dateKey = record.data.isValid()
        ? record.data.date().toJulianDay() * 86400000 + record.data.time().msecsSinceStartOfDay()
        : std::numeric_limits<qint64>::min();
    return p;
}

std::vector<PupilRow> ClassTableModel::prepare(const QList<ResultRecord> &records)
{
    const size_t count = size_t(records.size());
    std::vector<PupilRow> rows(count);
    std::vector<std::optional<QCollatorSortKey>> keys(count);
    // Each row on its own, in two halves, the second on another thread: the
    // collation keys are the costly part of reading a large archive.
    const auto work = [&](size_t from, size_t to) {
        QCollator collator(QLocale(QLocale::Italian, QLocale::Italy));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        // "Rossi 2" before "Rossi 10".
        collator.setNumericMode(true);
        for (size_t i = from; i < to; ++i) {
            rows[i] = makeRow(records[qsizetype(i)]);
            keys[i].emplace(collator.sortKey(records[qsizetype(i)].nome));
        }
    };
    const size_t half = count > 2000 ? count / 2 : count;
    std::future<void> second;
    if (half < count)
        second = std::async(std::launch::async, work, half, count);
    work(0, half);
    if (second.valid())
        second.get();

    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    // Names that collate alike keep the order they were added in.
    const auto before = [&](int a, int b) {
        const int c = keys[size_t(a)]->compare(*keys[size_t(b)]);
        return c != 0 ? c < 0 : a < b;
    };
    // The two halves sorted side by side, then merged.
    const auto middle = order.begin() + std::ptrdiff_t(half);
    if (half < count)
        second = std::async(std::launch::async, [&] { std::sort(middle, order.end(), before); });
    std::sort(order.begin(), middle, before);
    if (second.valid()) {
        second.get();
        std::inplace_merge(order.begin(), middle, order.end(), before);
    }
    std::vector<PupilRow> sorted;
    sorted.reserve(count);
    for (size_t position = 0; position < count; ++position) {
        sorted.push_back(std::move(rows[size_t(order[position])]));
        sorted.back().nameRank = int(position);
    }
    return sorted;
}

void ClassTableModel::setRows(std::vector<PupilRow> rows)
{
    // Both are in alphabetical order: every row on show must find its name
    // again, in the same order, among the new rows.
    const size_t before = m_rows.size();
    std::vector<size_t> found(before);
    size_t matched = 0;
    for (size_t i = 0; i < rows.size() && matched < before; ++i) {
        if (rows[i].record.nome == m_rows[matched].record.nome)
            found[matched++] = i;
    }
    if (before == 0 || matched < before) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }

    std::vector<int> changed;
    for (size_t k = 0; k < before; ++k) {
        if (!sameRecord(rows[found[k]].record, m_rows[k].record))
            changed.push_back(int(found[k]));
    }
    // The new names, run by run, where they fall.
    size_t next = 0;
    for (size_t k = 0; k <= before; ++k) {
        const size_t end = k < before ? found[k] : rows.size();
        if (end > next) {
            beginInsertRows({}, int(next), int(end) - 1);
            m_rows.insert(m_rows.begin() + std::ptrdiff_t(next), rows.begin() + std::ptrdiff_t(next),
                          rows.begin() + std::ptrdiff_t(end));
            endInsertRows();
        }
        next = end + 1;
    }
    m_rows = std::move(rows);
    for (const int row : changed)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
