// The in-process part of the benchmark, on the program run through
// runNozioli() as its entry point runs it: choosing exercises and judging
// clicks with the repaint each causes, look-ups in Risultati and archiving,
// the last two alternated with the same work done through bare SQLite.
// Started by nozioli-bench in the folder of an archive of ROWS names made by
// benchdata; prints "sample KIND µs" lines.
//
//   nozioli-bench-play ROWS ROUNDS LOOKUPS ARCHIVINGS
#include "app/module1.h"
#include "app/runnozioli.h"
#include "archive/formnome.h"
#include "archive/risultati.h"
#include "bench/benchclock.h"
#include "bench/benchdata.h"
#include "bench/paintwatch.h"
#include "bench/silentdialogs.h"
#include "play/fnozioli.h"
#include "store/archiving.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

void sample(const char *kind, std::int64_t ns)
{
    std::printf("sample %s %.3f\n", kind, double(ns) / 1000.0);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "nozioli-bench-play: %s\n", what);
    std::fflush(stdout);
    std::_Exit(3);
}

template <typename T = QWidget>
T *child(const QWidget *window, const QString &name)
{
    T *found = window ? window->findChild<T *>(name) : nullptr;
    if (!found)
        fail(qPrintable(QStringLiteral("no widget %1").arg(name)));
    return found;
}

// A bare SQLite connection with the store's durability settings.
struct BareDb
{
    sqlite3 *db = nullptr;
    explicit BareDb(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail("bare SQLite cannot open the archive");
        exec("PRAGMA journal_mode = DELETE");
        exec("PRAGMA synchronous = FULL");
    }
    ~BareDb() { sqlite3_close(db); }
    void exec(const char *sql)
    {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sqlite3_errmsg(db));
    }
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail(sqlite3_errmsg(db));
        return statement;
    }
};

void bindText(sqlite3_stmt *statement, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// Reads one row by its key, the least a look-up can do.
bool bareLookup(BareDb &bare, const QByteArray &key)
{
    sqlite3_stmt *s = bare.prepare("SELECT nome, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati,"
                                   " spaziotempogiusti, spaziotemposbagliati FROM nozioli WHERE chiave = ?");
    sqlite3_bind_text(s, 1, key.constData(), int(key.size()), SQLITE_STATIC);
    bool found = false;
    if (sqlite3_step(s) == SQLITE_ROW) {
        found = sqlite3_column_bytes(s, 0) > 0 && sqlite3_column_bytes(s, 1) > 0;
        double sum = 0;
        for (int c = 2; c < 8; ++c)
            sum += sqlite3_column_double(s, c);
        found = found && sum >= 0;
    }
    sqlite3_finalize(s);
    return found;
}

const char *const upsertSql =
    "INSERT INTO nozioli (nome, chiave, spaziotempogiusti, spaziotemposbagliati, sovragiusti, sovrasbagliati,"
    " nozioligiusti, noziolisbagliati, data) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(chiave) DO UPDATE SET"
    " spaziotempogiusti = excluded.spaziotempogiusti, spaziotemposbagliati = excluded.spaziotemposbagliati,"
    " sovragiusti = excluded.sovragiusti, sovrasbagliati = excluded.sovrasbagliati,"
    " nozioligiusti = excluded.nozioligiusti, noziolisbagliati = excluded.noziolisbagliati, data = excluded.data";

// Writes one row's six totals and moment in an immediate transaction, the
// least an archiving can do: with the statement prepared for it, or, when
// kept is given, with a statement prepared once and kept.
void bareUpsert(BareDb &bare, const QString &name, const QString &key, const qint64 (&totals)[6], const QString &when,
                sqlite3_stmt *kept = nullptr)
{
    bare.exec("BEGIN IMMEDIATE");
    sqlite3_stmt *s = kept ? kept : bare.prepare(upsertSql);
    bindText(s, 1, name);
    bindText(s, 2, key);
    for (int i = 0; i < 6; ++i)
        sqlite3_bind_double(s, 3 + i, double(totals[i]));
    bindText(s, 9, when);
    if (sqlite3_step(s) != SQLITE_DONE)
        fail(sqlite3_errmsg(bare.db));
    if (kept)
        sqlite3_reset(s);
    else
        sqlite3_finalize(s);
    bare.exec("COMMIT");
}

// The in-process part, run once the main window is painted.
class Play
{
public:
    Play(Module1 &module, PaintWatch &watch, int rows, int rounds, int lookups, int archivings)
        : m_module(module), m_watch(watch), m_rows(rows), m_rounds(rounds), m_lookups(lookups), m_archivings(archivings)
    {
    }

    void run()
    {
        m_main = m_module.fnozioli();
        if (!m_main)
            fail("the main window is not there");
        for (int round = 0; round < m_rounds; ++round) {
            for (int exercise = 1; exercise <= ExerciseBank::ExerciseCount; ++exercise)
                playExercise(round, exercise);
        }
        std::printf("unpainted %d\n", m_unpainted);
        lookUps();
        archivings();
        std::fflush(stdout);
    }

private:
    // Runs the action and the events it leaves behind, its repaint among them.
    std::int64_t timed(const std::function<void()> &action)
    {
        const int paints = m_watch.paints(QStringLiteral("fnozioli"));
        const std::int64_t t0 = bench::monotonicNs();
        action();
        QCoreApplication::processEvents();
        const std::int64_t t1 = bench::monotonicNs();
        if (m_watch.paints(QStringLiteral("fnozioli")) == paints)
            ++m_unpainted;
        return t1 - t0;
    }

    std::array<qint64, 6> totals() const
    {
        const ScoreSheet &s = m_main->scoreSheet();
        return {s.value(ScoreSheet::sovragiusti), s.value(ScoreSheet::sovrasbagliati),
                s.value(ScoreSheet::nozioligiusti), s.value(ScoreSheet::noziolisbagliati),
                s.value(ScoreSheet::spaziotempogiusti), s.value(ScoreSheet::spaziotemposbagliati)};
    }

    // Clicks, then files the time under the kind of answer the click gave.
    void judge(QWidget *target, QPoint at, const char *right, const char *wrong)
    {
        const auto before = totals();
        const std::int64_t ns = timed([&] { QTest::mouseClick(target, Qt::LeftButton, {}, at); });
        const auto after = totals();
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] != before[i]) {
                sample(i % 2 == 0 ? right : wrong, ns);
                return;
            }
        }
    }

    void chooseExercise(int exercise)
    {
        auto *combo = child<QComboBox>(m_main, QStringLiteral("Combo1"));
        // Arrow down chooses the next exercise, Home the first, as from the keyboard.
        const Qt::Key key = exercise == 1 ? Qt::Key_Home : Qt::Key_Down;
        const std::int64_t ns = timed([&] { QTest::keyClick(combo, key); });
        if (m_main->model().currentExercise() != exercise) {
            // The first Home on a list with nothing chosen yet: Down reaches "1".
            const std::int64_t again = timed([&] { QTest::keyClick(combo, Qt::Key_Down); });
            if (m_main->model().currentExercise() != exercise)
                fail("choosing an exercise from the keyboard did not start it");
            sample("choose", again);
            return;
        }
        sample("choose", ns);
    }

    void playExercise(int round, int exercise)
    {
        chooseExercise(exercise);
        static const char *const supers[] = {"labpolitica", "labeconomia", "labsocietà", "labcultura",
                                             "labpopolazione", "labspazio", "Labavvenimenti"};
        for (const char *name : supers) {
            QWidget *label = child(m_main, QString::fromUtf8(name));
            judge(label, label->rect().center(), "super_right", "super_wrong");
        }
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            QWidget *label = child(m_main, QStringLiteral("Label3_%1").arg(i));
            if (label->isVisible())
                judge(label, label->rect().center(), "concept_right", "concept_wrong");
        }
        // One box of each group, a different one each time round.
        static const std::vector<std::vector<int>> groups = {{1, 2}, {3, 4, 7}, {5, 6}, {8, 9}};
        for (const std::vector<int> &group : groups) {
            const int n = group[size_t(round + exercise) % group.size()];
            QWidget *box = child(m_main, QStringLiteral("Check%1").arg(n));
            judge(box, QPoint(4, box->height() / 2), "box_right", "box_wrong");
        }
    }

    // "Archivio dei risultati" shows Risultati; then surname and first name
    // of another pupil are looked up, alternated with reading the same row
    // through bare SQLite.
    void lookUps()
    {
        QTest::mouseClick(child(m_main, QStringLiteral("Labarchivio")), Qt::LeftButton);
        QCoreApplication::processEvents();
        Risultati *results = m_module.risultati();
        if (!results || !results->isVisible())
            fail("Risultati did not open");
        auto *surname = child<QLineEdit>(results, QStringLiteral("Text2"));
        auto *firstName = child<QLineEdit>(results, QStringLiteral("Text1"));
        QWidget *cerca = child(results, QStringLiteral("LabCERCA"));
        auto *shown = child<QLabel>(results, QStringLiteral("LabNOME"));
        BareDb bare(ResultsStore::defaultFileName());
        for (int i = 0; i < m_lookups; ++i) {
            const int row = int((qint64(i) * 7919 + m_rows / 2) % m_rows);
            const QString wanted = (benchdata::surname(row).toUpper() + u' ' + benchdata::firstName(row).toUpper());
            const QByteArray key = ResultsStore::foldName(benchdata::name(row)).toUtf8();
            surname->setText(benchdata::surname(row));
            firstName->setText(benchdata::firstName(row));
            const auto real = [&] {
                const std::int64_t t0 = bench::monotonicNs();
                QTest::mouseClick(cerca, Qt::LeftButton);
                QCoreApplication::processEvents();
                sample("lookup", bench::monotonicNs() - t0);
                if (shown->text() != wanted)
                    fail("the look-up did not show the row");
            };
            const auto floor = [&] {
                const std::int64_t t0 = bench::monotonicNs();
                const bool found = bareLookup(bare, key);
                sample("lookup_bare", bench::monotonicNs() - t0);
                if (!found)
                    fail("bare SQLite did not find the row");
            };
            if (i % 2) {
                real();
                floor();
            } else {
                floor();
                real();
            }
        }
    }

    // archivia() on the program's store, alternated with a bare upsert of the
    // same row into a copy of the archive in the same folder.
    void archivings()
    {
        const QString copy = QStringLiteral("bare-upsert.mdb");
        QFile::remove(copy);
        if (!QFile::copy(ResultsStore::defaultFileName(), copy))
            fail("cannot copy the archive");
        BareDb bare(copy);
        sqlite3_stmt *kept = bare.prepare(upsertSql);
        const QString name = m_module.pupilName();
        const QString key = ResultsStore::foldName(name);
        const ScoreSheet &sheet = m_main->scoreSheet();
        // The six totals in the order the store writes them.
        qint64 values[totalFields.size()];
        const ArchiveTotals totals = runningTotals(sheet);
        for (size_t i = 0; i < totalFields.size(); ++i)
            values[i] = totals.*totalFields[i].archived;
        for (int i = 0; i < m_archivings; ++i) {
            const auto real = [&] {
                const std::int64_t t0 = bench::monotonicNs();
                const ArchiveResult result = archivia(m_module.resultsDb(), name, runningTotals(sheet));
                sample("archive", bench::monotonicNs() - t0);
                if (result.outcome != ArchiveResult::Saved)
                    fail("archiving did not save");
            };
            const auto floor = [&] {
                const std::int64_t t0 = bench::monotonicNs();
                bareUpsert(bare, name, key, values,
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                sample("archive_bare", bench::monotonicNs() - t0);
            };
            const auto floorKept = [&] {
                const std::int64_t t0 = bench::monotonicNs();
                bareUpsert(bare, name, key, values,
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), kept);
                sample("archive_bare_kept", bench::monotonicNs() - t0);
            };
            if (i % 2) {
                real();
                floor();
                floorKept();
            } else {
                floorKept();
                floor();
                real();
            }
        }
        sqlite3_finalize(kept);
        QFile::remove(copy);
    }

    Module1 &m_module;
    PaintWatch &m_watch;
    FNozioli *m_main = nullptr;
    int m_rows, m_rounds, m_lookups, m_archivings;
    int m_unpainted = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s ROWS ROUNDS LOOKUPS ARCHIVINGS\n", argv[0]);
        return 2;
    }
    const int rows = std::atoi(argv[1]);
    const int rounds = std::atoi(argv[2]);
    const int lookups = std::atoi(argv[3]);
    const int archivings = std::atoi(argv[4]);
    if (rows < 1)
        fail("the archive must hold names");

    SilentDialogs dialogs;
    std::unique_ptr<PaintWatch> watch;
    RunHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.beforeStart = [&](Module1 &module) {
        watch = std::make_unique<PaintWatch>();
        watch->onFirstPaint(QStringLiteral("FormNOME"), [&, m = &module] {
            // The pupil clicks the first name, then CmdOK.
            FormNOME *form = m->formNome();
            auto *list = child<QListView>(form, QStringLiteral("List1"));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(0, 0)).center());
            QCoreApplication::processEvents();
            watch->onFirstPaint(QStringLiteral("fnozioli"), [&, m] {
                Play(*m, *watch, rows, rounds, lookups, archivings).run();
                QCoreApplication::exit(dialogs.said ? 4 : 0);
            });
            QTest::mouseClick(child<QPushButton>(form, QStringLiteral("CmdOK")), Qt::LeftButton);
        });
    };
    const int status = runNozioli(1, argv, hooks);
    std::fflush(stdout);
    return status;
}
