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

} // namespace

Figures check(const QString &archive, const QString &workDir, const QList<ProcessOutcome> &outcomes,
              double seconds, QTextStream &out)
{
    Figures fig;
    QMap<QString, Tally> errors;

    // What the processes did, from their logs.
    const QDir dir(workDir);
    const QStringList workerFiles = dir.entryList({QStringLiteral("worker-*.log")}, QDir::Files);
    const QStringList readerFiles = dir.entryList({QStringLiteral("reader-*.log")}, QDir::Files);
    int processes = 0;
    for (const QString &f : workerFiles)
        processes = qMax(processes, f.mid(7, f.size() - 11).toInt() + 1);
    int readers = 0;
    for (const QString &f : readerFiles)
        readers = qMax(readers, f.mid(7, f.size() - 11).toInt() + 1);

    QList<Save> saves;
    int perProcess = -1;
    bool samePlan = processes > 0;
    for (int p = 0; p < processes; ++p) {
        WorkerLog w = readWorker(workerLog(workDir, p), errors);
        if (!w.present || !w.begun) {
            tally(errors, QStringLiteral("process: no log"), 1, QStringLiteral("archiving process %1").arg(p));
            samePlan = false;
            continue;
        }
        if (perProcess < 0)
            perProcess = w.count;
        samePlan = samePlan && w.count == perProcess;
        fig.planned += w.count;
        if (!w.done)
            tally(errors, QStringLiteral("process: stopped early"), 1,
                  QStringLiteral("archiving process %1 tried %2 of %3 archivings")
                      .arg(p).arg(w.saves.size()).arg(w.count));
        for (Save &s : w.saves) {
            s.process = p;
            saves << s;
        }
    }
    fig.processes = processes;
    fig.perProcess = qMax(0, perProcess);
    if (samePlan)
        fig.plannedRows = loadplan::plannedRows(processes, perProcess);

    qint64 readerLists = 0, readerLookups = 0;
    for (int r = 0; r < readers; ++r) {
        const ReaderLog rl = readReader(readerLog(workDir, r), errors);
        if (!rl.done)
            tally(errors, QStringLiteral("process: reader stopped early"), 1, QStringLiteral("reader %1").arg(r));
        readerLists += rl.lists;
        readerLookups += rl.lookups;
        for (qint64 n : rl.errors)
            fig.readerErrors += n;
    }
    fig.readerOps = readerLists + readerLookups;

    for (const ProcessOutcome &o : outcomes) {
        if (!o.finished)
            tally(errors, QStringLiteral("process: killed at the deadline"), 1, o.what);
        else if (o.crashed)
            tally(errors, QStringLiteral("process: crashed"), 1, o.what + QStringLiteral(": ") + o.errorOutput);
        else if (o.exitCode != 0)
            tally(errors, QStringLiteral("process: exit status %1").arg(o.exitCode), 1,
                  o.what + QStringLiteral(": ") + o.errorOutput);
    }

    // Archivings and their times.
    QList<double> times;
    const Save *slowest = nullptr;
    QHash<QString, QList<const Save *>> landedByKey;
    QHash<QString, QSet<QString>> spellings;     // the spellings that landed, by key
    QSet<QString> attemptedKeys;
    QHash<QPair<int, int>, const Save *> bySeq;
    QSet<QString> sharedKeys;
    for (const QString &n : loadplan::sharedPupils())
        sharedKeys.insert(ResultsStore::foldName(n));
    for (const Save &s : std::as_const(saves)) {
        ++fig.attempted;
        const double t = double(s.end - s.start) / 1e6;
        times << t;
        if (!slowest || t > double(slowest->end - slowest->start) / 1e6)
            slowest = &s;
        attemptedKeys.insert(s.key);
        bySeq.insert({s.process, s.seq}, &s);
        if (s.ok) {
            ++fig.landed;
            landedByKey[s.key] << &s;
            spellings[s.key].insert(s.name);
        }
    }
    if (fig.attempted < fig.planned)
        tally(errors, QStringLiteral("archiving: never tried"), fig.planned - fig.attempted,
              QStringLiteral("%1 planned archivings were never tried").arg(fig.planned - fig.attempted));
    std::sort(times.begin(), times.end());
    fig.medianMs = median(times);
    fig.slowestMs = times.isEmpty() ? 0 : times.last();
    fig.expectedRows = landedByKey.size();

    // The archive as it was left.
    QList<ResultRecord> rows;
    {
        ResultsStore store;
        std::optional<QList<ResultRecord>> read;
        if (store.open(archive))
            read = store.records();
        if (read)
            rows = *read;
        else
            tally(errors, QStringLiteral("check: archive unreadable"), 1, store.lastError().message);
    }
    const QStringList problems = ResultsStore::verify(archive);
    for (const QString &p : problems)
        tally(errors, QStringLiteral("check: archive not sound"), 1, p);
    fig.rowsFound = rows.size();

    QHash<QString, int> rowsPerKey;
    QStringList duplicated;
    qint64 torn = 0, foreign = 0, stale = 0, unknownSpelling = 0, badDate = 0, landedThoughFailed = 0;
    QStringList wrongExamples;
    auto wrong = [&](qint64 &counter, const QString &example) {
        ++counter;
        if (wrongExamples.size() < 5)
            wrongExamples << example;
    };
    for (const ResultRecord &row : std::as_const(rows)) {
        const QString key = ResultsStore::foldName(row.nome);
        if (++rowsPerKey[key] == 2) {
            duplicated << row.nome;
            if (sharedKeys.contains(key))
                ++fig.sharedDuplicated;
        }
        if (!attemptedKeys.contains(key)) {
            ++fig.unexpected;
            continue;
        }
        ++fig.valuesChecked;
        if (!row.data.isValid())
            wrong(badDate, QStringLiteral("«%1»: no valid date").arg(row.nome));
        const std::optional<loadplan::Origin> origin = loadplan::originOf(row, key);
        if (!origin) {
            wrong(torn, QStringLiteral("«%1»: totals not those of one archiving").arg(row.nome));
            continue;
        }
        const Save *writer = bySeq.value({origin->process, origin->seq});
        if (!writer || writer->key != key) {
            wrong(foreign, QStringLiteral("«%1»: totals of archiving %2.%3, which was not for this name")
                               .arg(row.nome).arg(origin->process).arg(origin->seq));
            continue;
        }
        if (!writer->ok)
            wrong(landedThoughFailed, QStringLiteral("«%1»: holds archiving %2.%3, which reported a failure")
                                          .arg(row.nome).arg(origin->process).arg(origin->seq));
        // A later archiving of the same name began after this one had
        // returned: it committed later, and its totals should be there.
        for (const Save *s : landedByKey.value(key)) {
            if (s->start > writer->end) {
                wrong(stale, QStringLiteral("«%1»: holds archiving %2.%3, overwritten later by %4.%5")
                                 .arg(row.nome).arg(origin->process).arg(origin->seq).arg(s->process).arg(s->seq));
                break;
            }
        }
        if (!spellings.value(key).contains(row.nome))
            wrong(unknownSpelling, QStringLiteral("«%1»: a spelling no archiving wrote").arg(row.nome));
    }
    for (auto it = rowsPerKey.cbegin(); it != rowsPerKey.cend(); ++it)
        fig.duplicates += it.value() - 1;
    for (auto it = landedByKey.cbegin(); it != landedByKey.cend(); ++it) {
        if (!rowsPerKey.contains(it.key()))
            ++fig.lost;
    }
    fig.valuesWrong = torn + foreign + stale + unknownSpelling + badDate + landedThoughFailed;

    for (const Tally &t : std::as_const(errors))
        fig.errors += t.n;

    // The report.
    Report rep(out);
    rep.heading(QStringLiteral("Load on a shared archive"));
    rep.item(QStringLiteral("archive"), QDir::toNativeSeparators(archive));
    rep.item(QStringLiteral("processes"), QStringLiteral("%1 archiving x %2 pupils, %3 readers")
                                              .arg(processes).arg(fig.perProcess).arg(readers));
    if (seconds > 0) {
        rep.item(QStringLiteral("run time"), QStringLiteral("%1 s").arg(seconds, 0, 'f', 1));
        rep.item(QStringLiteral("throughput"),
                 QStringLiteral("%1 archivings/s").arg(double(fig.landed) / seconds, 0, 'f', 1));
    }
    rep.heading(QStringLiteral("Archivings"));
    rep.item(QStringLiteral("planned"), fig.planned);
    rep.item(QStringLiteral("attempted"), fig.attempted);
    rep.item(QStringLiteral("landed"), fig.landed);
    rep.item(QStringLiteral("failed"), fig.attempted - fig.landed);
    rep.item(QStringLiteral("median"), ms(fig.medianMs));
    rep.item(QStringLiteral("95th percentile"), ms(percentile(times, 0.95)));
    rep.item(QStringLiteral("99th percentile"), ms(percentile(times, 0.99)));
    rep.item(QStringLiteral("slowest"), ms(fig.slowestMs));
    if (slowest)
        rep.note(QStringLiteral("archiving %1.%2 «%3»").arg(slowest->process).arg(slowest->seq).arg(slowest->name));
    rep.heading(QStringLiteral("Rows"));
    if (fig.plannedRows >= 0)
        rep.item(QStringLiteral("planned"), fig.plannedRows);
    rep.item(QStringLiteral("expected"), fig.expectedRows);
    rep.note(QStringLiteral("distinct names with at least one archiving landed"));
    rep.item(QStringLiteral("found"), fig.rowsFound);
    rep.item(QStringLiteral("lost"), fig.lost);
    rep.item(QStringLiteral("unexpected"), fig.unexpected);
    rep.item(QStringLiteral("duplicates"), fig.duplicates);
    rep.item(QStringLiteral("shared duplicated"), fig.sharedDuplicated);
    for (const QString &d : std::as_const(duplicated).mid(0, 5))
        rep.note(QStringLiteral("more than one row for «%1»").arg(d));
    rep.heading(QStringLiteral("Final values"));
    rep.item(QStringLiteral("rows checked"), fig.valuesChecked);
    rep.item(QStringLiteral("wrong"), fig.valuesWrong);
    if (fig.valuesWrong) {
        rep.note(QStringLiteral("torn %1, of another name %2, stale %3, unknown spelling %4, bad date %5, "
                                "landed though reported failed %6")
                     .arg(torn).arg(foreign).arg(stale).arg(unknownSpelling).arg(badDate).arg(landedThoughFailed));
        for (const QString &e : std::as_const(wrongExamples))
            rep.note(e);
    }
    rep.heading(QStringLiteral("Readers"));
    rep.item(QStringLiteral("operations"), QStringLiteral("%1 (%2 lists, %3 look-ups)")
                                               .arg(fig.readerOps).arg(readerLists).arg(readerLookups));
    rep.item(QStringLiteral("reader errors"), fig.readerErrors);
    rep.heading(QStringLiteral("Errors"));
    rep.item(QStringLiteral("errors"), fig.errors);
    for (auto it = errors.cbegin(); it != errors.cend(); ++it) {
        rep.item(QStringLiteral("  ") + it.key(), it->n);
        if (!it->message.isEmpty())
            rep.note(it->message);
    }

    fig.pass = fig.errors == 0 && fig.lost == 0 && fig.duplicates == 0 && fig.unexpected == 0
        && fig.valuesWrong == 0 && fig.attempted > 0 && fig.landed == fig.attempted;
    rep.heading(fig.pass ? QStringLiteral("Result: PASS") : QStringLiteral("Result: FAIL"));
    out << QStringLiteral("summary: attempted=%1 landed=%2 expected=%3 found=%4 lost=%5 duplicates=%6 "
                          "wrong=%7 errors=%8 reader_ops=%9 reader_errors=%10 median_ms=%11 slowest_ms=%12 "
                          "unexpected=%13")
               .arg(fig.attempted).arg(fig.landed).arg(fig.expectedRows).arg(fig.rowsFound).arg(fig.lost)
               .arg(fig.duplicates).arg(fig.valuesWrong).arg(fig.errors).arg(fig.readerOps).arg(fig.readerErrors)
               .arg(fig.medianMs, 0, 'f', 1).arg(fig.slowestMs, 0, 'f', 1).arg(fig.unexpected)
        << '\n';
    out.flush();
    return fig;
}

} // namespace loadrun
