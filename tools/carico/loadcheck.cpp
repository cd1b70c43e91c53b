// The check after a load run: the logs of the processes against the archive.
#include "tools/carico/loadplan.h"
#include "tools/carico/loadrun.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace loadrun {

namespace {

struct Save
{
    int process = 0;
    int seq = 0;
    bool ok = false;
    QString kind;
    qint64 start = 0;
    qint64 end = 0;
    QString name;
    QString key;
};

struct WorkerLog
{
    bool present = false;
    bool begun = false;
    bool done = false;
    int count = 0;
    QList<Save> saves;
};

struct ReaderLog
{
    bool present = false;
    bool done = false;
    qint64 lists = 0;
    qint64 lookups = 0;
    QMap<QString, qint64> errors;
};

// Errors of one kind: how many, and the first message seen.
struct Tally
{
    qint64 n = 0;
    QString message;
};

void tally(QMap<QString, Tally> &map, const QString &kind, qint64 n, const QString &message)
{
    if (n <= 0)
        return;
    Tally &t = map[kind];
    if (t.n == 0 || t.message.isEmpty())
        t.message = message;
    t.n += n;
}

QList<QStringList> readLines(const QString &path, bool *present)
{
    QList<QStringList> lines;
    QFile f(path);
    *present = f.open(QIODevice::ReadOnly);
    if (!*present)
        return lines;
    const QList<QByteArray> raw = f.readAll().split('\n');
    for (const QByteArray &l : raw) {
        if (!l.isEmpty())
            lines << QString::fromUtf8(l).split(u'\t');
    }
    return lines;
}

WorkerLog readWorker(const QString &path, QMap<QString, Tally> &errors)
{
    WorkerLog w;
    const QList<QStringList> lines = readLines(path, &w.present);
    QHash<QString, QString> messages;
    for (const QStringList &f : lines) {
        const QString tag = f.value(0);
        if (tag == QLatin1String("B") && f.size() >= 3) {
            w.begun = true;
            w.count = f.at(2).toInt();
        } else if (tag == QLatin1String("S") && f.size() >= 7) {
            Save s;
            s.seq = f.at(1).toInt();
            s.ok = f.at(2) == QLatin1String("1");
            s.kind = f.at(3);
            s.start = f.at(4).toLongLong();
            s.end = f.at(5).toLongLong();
            s.name = f.at(6);
            s.key = ResultsStore::foldName(s.name);
            w.saves << s;
        } else if (tag == QLatin1String("M") && f.size() >= 3) {
            messages.insert(f.at(1), f.at(2));
        } else if (tag == QLatin1String("O") && f.size() >= 3) {
            tally(errors, QStringLiteral("opening: ") + f.at(1), 1, f.at(2));
        } else if (tag == QLatin1String("D")) {
            w.done = true;
        }
    }
    for (const Save &s : std::as_const(w.saves)) {
        if (!s.ok)
            tally(errors, QStringLiteral("archiving: ") + s.kind, 1, messages.value(s.kind));
    }
    return w;
}

ReaderLog readReader(const QString &path, QMap<QString, Tally> &errors)
{
    ReaderLog r;
    const QList<QStringList> lines = readLines(path, &r.present);
    for (const QStringList &f : lines) {
        const QString tag = f.value(0);
        if (tag == QLatin1String("T") && f.size() >= 3) {
            r.lists = f.at(1).toLongLong();
            r.lookups = f.at(2).toLongLong();
        } else if (tag == QLatin1String("E") && f.size() >= 4) {
            r.errors[f.at(1)] += f.at(2).toLongLong();
            tally(errors, QStringLiteral("reading: ") + f.at(1), f.at(2).toLongLong(), f.at(3));
        } else if (tag == QLatin1String("D")) {
            r.done = true;
        }
    }
    return r;
}

double percentile(QList<double> sorted, double p)
{
    if (sorted.isEmpty())
        return 0;
    const qsizetype i = qsizetype(std::ceil(p * double(sorted.size()))) - 1;
    return sorted.at(qBound<qsizetype>(0, i, sorted.size() - 1));
}

double median(const QList<double> &sorted)
{
    if (sorted.isEmpty())
        return 0;
    const qsizetype n = sorted.size();
    return n % 2 ? sorted.at(n / 2) : (sorted.at(n / 2 - 1) + sorted.at(n / 2)) / 2;
}

class Report
{
public:
    explicit Report(QTextStream &out) : m_out(out) {}
    void heading(const QString &text) { m_out << text << '\n'; }
    void item(const QString &label, const QString &value)
    {
        m_out << QStringLiteral("  %1 %2").arg(label + u':', -24).arg(value) << '\n';
    }
    void item(const QString &label, qint64 value) { item(label, QString::number(value)); }
    void note(const QString &text) { m_out << QStringLiteral("      ") << text << '\n'; }

private:
    QTextStream &m_out;
};

QString ms(double v) { return QString::number(v, 'f', 1) + QStringLiteral(" ms"); }

// How many processes of one kind left logs: their files are named
// "worker-N.log" or "reader-N.log", numbered from 0.
int processesLogged(const QDir &dir, const QString &pattern)
{
    int count = 0;
    for (const QString &f : dir.entryList({pattern}, QDir::Files))
        count = qMax(count, f.mid(7, f.size() - 11).toInt() + 1);
    return count;
}

// Final values found wrong, by kind, with the first few examples.
struct WrongValues
{
    qint64 torn = 0;
    qint64 foreign = 0;
    qint64 stale = 0;
    qint64 unknownSpelling = 0;
    qint64 badDate = 0;
    qint64 landedThoughFailed = 0;
    QStringList examples;

    void add(qint64 &counter, const QString &example)
    {
        ++counter;
        if (examples.size() < 5)
            examples << example;
    }
    qint64 total() const { return torn + foreign + stale + unknownSpelling + badDate + landedThoughFailed; }
};

// The check of one run, step by step: the logs, the archivings they record,
// the archive against them, then the report.
class Checker
{
public:
    Checker(const QString &archive, const QString &workDir) : m_archive(archive), m_workDir(workDir) {}

    void readLogs(const QList<ProcessOutcome> &outcomes)
    {
        const QDir dir(m_workDir);
        m_processes = processesLogged(dir, QStringLiteral("worker-*.log"));
        m_readers = processesLogged(dir, QStringLiteral("reader-*.log"));
        readWorkerLogs();
        readReaderLogs();
        tallyOutcomes(outcomes);
        indexArchivings();
    }
    void checkArchive()
    {
        readArchive();
        for (const ResultRecord &row : std::as_const(m_rows))
            checkRow(row);
        countTotals();
    }
    void report(double seconds, QTextStream &out) const;
    const Figures &figures() const { return m_fig; }

private:
    void readWorkerLogs();
    void readReaderLogs();
    void tallyOutcomes(const QList<ProcessOutcome> &outcomes);
    void indexArchivings();
    void readArchive();
    void checkRow(const ResultRecord &row);
    void checkValues(const ResultRecord &row, const QString &key);
    const Save *laterArchiving(const QString &key, const Save &writer) const;
    void countTotals();

    void reportRun(Report &rep, double seconds) const;
    void reportArchivings(Report &rep) const;
    void reportRows(Report &rep) const;
    void reportValues(Report &rep) const;
    void reportReadersAndErrors(Report &rep) const;
    void printSummary(QTextStream &out) const;

    const QString m_archive;
    const QString m_workDir;
    Figures m_fig;
    QMap<QString, Tally> m_errors;
    int m_processes = 0;
    int m_readers = 0;

    // From the logs.
    QList<Save> m_saves;
    qint64 m_readerLists = 0;
    qint64 m_readerLookups = 0;

    // The archivings, indexed; the pointers point into m_saves.
    QList<double> m_times; // sorted
    const Save *m_slowest = nullptr;
    QHash<QString, QList<const Save *>> m_landedByKey;
    QHash<QString, QSet<QString>> m_spellings; // the spellings that landed, by key
    QSet<QString> m_attemptedKeys;
    QHash<QPair<int, int>, const Save *> m_bySeq;
    QSet<QString> m_sharedKeys;

    // The archive as it was left.
    QList<ResultRecord> m_rows;
    QHash<QString, int> m_rowsPerKey;
    QStringList m_duplicated;
    WrongValues m_wrong;
};

// What the archiving processes did, from their logs.
void Checker::readWorkerLogs()
{
    int perProcess = -1;
    bool samePlan = m_processes > 0;
    for (int p = 0; p < m_processes; ++p) {
        WorkerLog w = readWorker(workerLog(m_workDir, p), m_errors);
        if (!w.present || !w.begun) {
            tally(m_errors, QStringLiteral("process: no log"), 1, QStringLiteral("archiving process %1").arg(p));
            samePlan = false;
            continue;
        }
        if (perProcess < 0)
            perProcess = w.count;
        samePlan = samePlan && w.count == perProcess;
        m_fig.planned += w.count;
        if (!w.done)
            tally(m_errors, QStringLiteral("process: stopped early"), 1,
                  QStringLiteral("archiving process %1 tried %2 of %3 archivings")
                      .arg(p).arg(w.saves.size()).arg(w.count));
        for (Save &s : w.saves) {
            s.process = p;
            m_saves << s;
        }
    }
    m_fig.processes = m_processes;
    m_fig.perProcess = qMax(0, perProcess);
    if (samePlan)
        m_fig.plannedRows = loadplan::plannedRows(m_processes, perProcess);
}

void Checker::readReaderLogs()
{
    for (int r = 0; r < m_readers; ++r) {
        const ReaderLog rl = readReader(readerLog(m_workDir, r), m_errors);
        if (!rl.done)
            tally(m_errors, QStringLiteral("process: reader stopped early"), 1, QStringLiteral("reader %1").arg(r));
        m_readerLists += rl.lists;
        m_readerLookups += rl.lookups;
        for (qint64 n : rl.errors)
            m_fig.readerErrors += n;
    }
    m_fig.readerOps = m_readerLists + m_readerLookups;
}

// What the driver saw of the processes beyond their logs.
void Checker::tallyOutcomes(const QList<ProcessOutcome> &outcomes)
{
    for (const ProcessOutcome &o : outcomes) {
        if (!o.finished)
            tally(m_errors, QStringLiteral("process: killed at the deadline"), 1, o.what);
        else if (o.crashed)
            tally(m_errors, QStringLiteral("process: crashed"), 1, o.what + QStringLiteral(": ") + o.errorOutput);
        else if (o.exitCode != 0)
            tally(m_errors, QStringLiteral("process: exit status %1").arg(o.exitCode), 1,
                  o.what + QStringLiteral(": ") + o.errorOutput);
    }
}

// The archivings and their times, indexed by key and by process and number.
void Checker::indexArchivings()
{
    for (const QString &n : loadplan::sharedPupils())
        m_sharedKeys.insert(ResultsStore::foldName(n));
    for (const Save &s : std::as_const(m_saves)) {
        ++m_fig.attempted;
        const double t = double(s.end - s.start) / 1e6;
        m_times << t;
        if (!m_slowest || t > double(m_slowest->end - m_slowest->start) / 1e6)
            m_slowest = &s;
        m_attemptedKeys.insert(s.key);
        m_bySeq.insert({s.process, s.seq}, &s);
        if (s.ok) {
            ++m_fig.landed;
            m_landedByKey[s.key] << &s;
            m_spellings[s.key].insert(s.name);
        }
    }
    if (m_fig.attempted < m_fig.planned)
        tally(m_errors, QStringLiteral("archiving: never tried"), m_fig.planned - m_fig.attempted,
              QStringLiteral("%1 planned archivings were never tried").arg(m_fig.planned - m_fig.attempted));
    std::sort(m_times.begin(), m_times.end());
    m_fig.medianMs = median(m_times);
    m_fig.slowestMs = m_times.isEmpty() ? 0 : m_times.last();
    m_fig.expectedRows = m_landedByKey.size();
}

void Checker::readArchive()
{
    {
        ResultsStore store;
        std::optional<QList<ResultRecord>> read;
        if (store.open(m_archive))
            read = store.records();
        if (read)
            m_rows = *read;
        else
            tally(m_errors, QStringLiteral("check: archive unreadable"), 1, store.lastError().message);
    }
    const QStringList problems = ResultsStore::verify(m_archive);
    for (const QString &p : problems)
        tally(m_errors, QStringLiteral("check: archive not sound"), 1, p);
    m_fig.rowsFound = m_rows.size();
}

// One row of the archive: counted by its key, then its values checked when
// its name was archived by the run.
void Checker::checkRow(const ResultRecord &row)
{
    const QString key = ResultsStore::foldName(row.nome);
    if (++m_rowsPerKey[key] == 2) {
        m_duplicated << row.nome;
        if (m_sharedKeys.contains(key))
            ++m_fig.sharedDuplicated;
    }
    if (!m_attemptedKeys.contains(key)) {
        ++m_fig.unexpected;
        return;
    }
    ++m_fig.valuesChecked;
    checkValues(row, key);
}

// The values of a row must be those of the last archiving of its name, in a
// spelling that archiving wrote.
void Checker::checkValues(const ResultRecord &row, const QString &key)
{
    if (!row.data.isValid())
        m_wrong.add(m_wrong.badDate, QStringLiteral("«%1»: no valid date").arg(row.nome));
    const std::optional<loadplan::Origin> origin = loadplan::originOf(row, key);
    if (!origin) {
        m_wrong.add(m_wrong.torn, QStringLiteral("«%1»: totals not those of one archiving").arg(row.nome));
        return;
    }
    const Save *writer = m_bySeq.value({origin->process, origin->seq});
    if (!writer || writer->key != key) {
        m_wrong.add(m_wrong.foreign, QStringLiteral("«%1»: totals of archiving %2.%3, which was not for this name")
                                         .arg(row.nome).arg(origin->process).arg(origin->seq));
        return;
    }
    if (!writer->ok)
        m_wrong.add(m_wrong.landedThoughFailed,
                    QStringLiteral("«%1»: holds archiving %2.%3, which reported a failure")
                        .arg(row.nome).arg(origin->process).arg(origin->seq));
    if (const Save *s = laterArchiving(key, *writer))
        m_wrong.add(m_wrong.stale, QStringLiteral("«%1»: holds archiving %2.%3, overwritten later by %4.%5")
                                       .arg(row.nome).arg(origin->process).arg(origin->seq).arg(s->process).arg(s->seq));
    if (!m_spellings.value(key).contains(row.nome))
        m_wrong.add(m_wrong.unknownSpelling, QStringLiteral("«%1»: a spelling no archiving wrote").arg(row.nome));
}

// A landed archiving of the same name that began after the writer had
// returned: it committed later, and its totals should be in the row.
const Save *Checker::laterArchiving(const QString &key, const Save &writer) const
{
    for (const Save *s : m_landedByKey.value(key)) {
        if (s->start > writer.end)
            return s;
    }
    return nullptr;
}

void Checker::countTotals()
{
    for (auto it = m_rowsPerKey.cbegin(); it != m_rowsPerKey.cend(); ++it)
        m_fig.duplicates += it.value() - 1;
    for (auto it = m_landedByKey.cbegin(); it != m_landedByKey.cend(); ++it) {
        if (!m_rowsPerKey.contains(it.key()))
            ++m_fig.lost;
    }
    m_fig.valuesWrong = m_wrong.total();
    for (const Tally &t : std::as_const(m_errors))
        m_fig.errors += t.n;
    m_fig.pass = m_fig.errors == 0 && m_fig.lost == 0 && m_fig.duplicates == 0 && m_fig.unexpected == 0
        && m_fig.valuesWrong == 0 && m_fig.attempted > 0 && m_fig.landed == m_fig.attempted;
}

void Checker::report(double seconds, QTextStream &out) const
{
    Report rep(out);
    reportRun(rep, seconds);
    reportArchivings(rep);
    reportRows(rep);
    reportValues(rep);
    reportReadersAndErrors(rep);
    rep.heading(m_fig.pass ? QStringLiteral("Result: PASS") : QStringLiteral("Result: FAIL"));
    printSummary(out);
    out.flush();
}

void Checker::reportRun(Report &rep, double seconds) const
{
    rep.heading(QStringLiteral("Load on a shared archive"));
    rep.item(QStringLiteral("archive"), QDir::toNativeSeparators(m_archive));
    rep.item(QStringLiteral("processes"), QStringLiteral("%1 archiving x %2 pupils, %3 readers")
                                              .arg(m_processes).arg(m_fig.perProcess).arg(m_readers));
    if (seconds > 0) {
        rep.item(QStringLiteral("run time"), QStringLiteral("%1 s").arg(seconds, 0, 'f', 1));
        rep.item(QStringLiteral("throughput"),
                 QStringLiteral("%1 archivings/s").arg(double(m_fig.landed) / seconds, 0, 'f', 1));
    }
}

void Checker::reportArchivings(Report &rep) const
{
    rep.heading(QStringLiteral("Archivings"));
    rep.item(QStringLiteral("planned"), m_fig.planned);
    rep.item(QStringLiteral("attempted"), m_fig.attempted);
    rep.item(QStringLiteral("landed"), m_fig.landed);
    rep.item(QStringLiteral("failed"), m_fig.attempted - m_fig.landed);
    rep.item(QStringLiteral("median"), ms(m_fig.medianMs));
    rep.item(QStringLiteral("95th percentile"), ms(percentile(m_times, 0.95)));
    rep.item(QStringLiteral("99th percentile"), ms(percentile(m_times, 0.99)));
    rep.item(QStringLiteral("slowest"), ms(m_fig.slowestMs));
    if (m_slowest)
        rep.note(QStringLiteral("archiving %1.%2 «%3»").arg(m_slowest->process).arg(m_slowest->seq).arg(m_slowest->name));
}

void Checker::reportRows(Report &rep) const
{
    rep.heading(QStringLiteral("Rows"));
    if (m_fig.plannedRows >= 0)
        rep.item(QStringLiteral("planned"), m_fig.plannedRows);
    rep.item(QStringLiteral("expected"), m_fig.expectedRows);
    rep.note(QStringLiteral("distinct names with at least one archiving landed"));
    rep.item(QStringLiteral("found"), m_fig.rowsFound);
    rep.item(QStringLiteral("lost"), m_fig.lost);
    rep.item(QStringLiteral("unexpected"), m_fig.unexpected);
    rep.item(QStringLiteral("duplicates"), m_fig.duplicates);
    rep.item(QStringLiteral("shared duplicated"), m_fig.sharedDuplicated);
    for (const QString &d : m_duplicated.mid(0, 5))
        rep.note(QStringLiteral("more than one row for «%1»").arg(d));
}

void Checker::reportValues(Report &rep) const
{
    rep.heading(QStringLiteral("Final values"));
    rep.item(QStringLiteral("rows checked"), m_fig.valuesChecked);
    rep.item(QStringLiteral("wrong"), m_fig.valuesWrong);
    if (!m_fig.valuesWrong)
        return;
    const WrongValues &w = m_wrong;
    rep.note(QStringLiteral("torn %1, of another name %2, stale %3, unknown spelling %4, bad date %5, "
                            "landed though reported failed %6")
                 .arg(w.torn).arg(w.foreign).arg(w.stale).arg(w.unknownSpelling).arg(w.badDate).arg(w.landedThoughFailed));
    for (const QString &e : w.examples)
        rep.note(e);
}

void Checker::reportReadersAndErrors(Report &rep) const
{
    rep.heading(QStringLiteral("Readers"));
    rep.item(QStringLiteral("operations"), QStringLiteral("%1 (%2 lists, %3 look-ups)")
                                               .arg(m_fig.readerOps).arg(m_readerLists).arg(m_readerLookups));
    rep.item(QStringLiteral("reader errors"), m_fig.readerErrors);
    rep.heading(QStringLiteral("Errors"));
    rep.item(QStringLiteral("errors"), m_fig.errors);
    for (auto it = m_errors.cbegin(); it != m_errors.cend(); ++it) {
        rep.item(QStringLiteral("  ") + it.key(), it->n);
        if (!it->message.isEmpty())
            rep.note(it->message);
    }
}

// One line of figures for scripts and the test to read.
void Checker::printSummary(QTextStream &out) const
{
    const Figures &fig = m_fig;
    out << QStringLiteral("summary: attempted=%1 landed=%2 expected=%3 found=%4 lost=%5 duplicates=%6 "
                          "wrong=%7 errors=%8 reader_ops=%9 reader_errors=%10 median_ms=%11 slowest_ms=%12 "
                          "unexpected=%13")
               .arg(fig.attempted).arg(fig.landed).arg(fig.expectedRows).arg(fig.rowsFound).arg(fig.lost)
               .arg(fig.duplicates).arg(fig.valuesWrong).arg(fig.errors).arg(fig.readerOps).arg(fig.readerErrors)
               .arg(fig.medianMs, 0, 'f', 1).arg(fig.slowestMs, 0, 'f', 1).arg(fig.unexpected)
        << '\n';
}

} // namespace

Figures check(const QString &archive, const QString &workDir, const QList<ProcessOutcome> &outcomes,
              double seconds, QTextStream &out)
{
    Checker checker(archive, workDir);
    checker.readLogs(outcomes);
    checker.checkArchive();
    checker.report(seconds, out);
    return checker.figures();
}

} // namespace loadrun
