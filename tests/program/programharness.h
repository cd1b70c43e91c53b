// Helpers shared by the tests of the whole program: a fake for the dialogs
// and the program started around an archive in a temporary folder.
#pragma once

#include "guitesting.h"

#include "app/module1.h"
#include "archive/dialogs.h"
#include "archive/formnome.h"
#include "archive/risultati.h"
#include "play/fnozioli.h"
#include "play/model/scoresheet.h"
#include "store/resultsstore.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// Records every message; answers the name dialog from a queue, Cancel when
// empty, and a failed archiving on the way out from another, staying when empty.
struct FakeDialogs : Dialogs
{
    QStringList messages, failures, prompts, answers;
    QList<ExitChoice> exitChoices;
    ExitChoice archiveFailedOnExit(QWidget *, const QString &text) override
    {
        failures << text;
        return exitChoices.isEmpty() ? ExitChoice::Stay : exitChoices.takeFirst();
    }
    void message(QWidget *, const QString &text) override { messages << text; }
    void failure(QWidget *, const QString &text) override { failures << text; }
    QString askText(QWidget *, const QString &prompt) override
    {
        prompts << prompt;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// Grid5 row by row, cells joined by "|".
inline QStringList gridRows(const QWidget *risultati)
{
    auto *grid = child<QTableWidget>(risultati, "Grid5");
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << grid->item(r, c)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

inline QStringList expectedGrid(const ResultRecord &r)
{
    const auto row = [&](const char *heading, double right, double wrong) {
        return QStringList {QString::fromUtf8(heading), QString::number(right, 'f', 0),
                            QString::number(right + wrong, 'f', 0), r.data.toString(Risultati::dateFormat())}
            .join(u'|');
    };
    return {QStringLiteral("Attività|Giusti|Su|Quando"),
            row("Durata-Tempo-Luogo", r.spaziotempogiusti, r.spaziotemposbagliati),
            row("Sovranozioli", r.sovragiusti, r.sovrasbagliati), row("Nozioli", r.nozioligiusti, r.noziolisbagliati)};
}

// The grid after "Nome non trovato": its captions only.
inline QStringList clearedGrid()
{
    return {QStringLiteral("Attività|Giusti|Su|Quando"), QStringLiteral("Durata-Tempo-Luogo|||"),
            QStringLiteral("Sovranozioli|||"), QStringLiteral("Nozioli|||")};
}

// The program around "nozioli.mdb" in a temporary folder, which is the
// current folder while it runs.
class ProgramRun
{
public:
    ProgramRun()
        : m_startFolder(QDir::currentPath())
    {
        m_ok = m_dir.isValid() && QDir::setCurrent(m_dir.path());
    }
    ~ProgramRun()
    {
        QFile::setPermissions(archivePath(), QFile::ReadOwner | QFile::WriteOwner);
        stop();
        QDir::setCurrent(m_startFolder);
    }
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    bool ready() const { return m_ok; }
    QString folder() const { return m_dir.path(); }
    QString archivePath() const { return m_dir.filePath(ResultsStore::defaultFileName()); }

    // A new archive holding these rows, archived on 1 March 2024 at 9:30.
    bool createArchive(const QList<std::pair<QString, ArchiveTotals>> &rows = {})
    {
        StoreError error;
        ResultsStore store;
        if (!ResultsStore::create(archivePath(), &error) || !store.open(archivePath()))
            return false;
        for (const auto &[name, totals] : rows) {
            if (!store.save(name, totals, QDateTime(QDate(2024, 3, 1), QTime(9, 30, 0))))
                return false;
        }
        return true;
    }

    // A new program on the archive in the folder (or the one the settings
    // name), as the next lesson starts it.
    bool start(const Settings &settings = {})
    {
        stop();
        program = std::make_unique<Module1>(dialogs, settings);
        finished = std::make_unique<QSignalSpy>(program.get(), &Module1::finished);
        return program->start();
    }

    void stop()
    {
        finished.reset();
        program.reset();
    }

    FormNOME *form() const { return program ? program->formNome() : nullptr; }
    FNozioli *main() const { return program ? program->fnozioli() : nullptr; }
    Risultati *results() const { return program ? program->risultati() : nullptr; }

    std::optional<ResultRecord> row(const QString &name) const
    {
        ResultsStore store;
        ResultRecord record;
        if (!store.open(archivePath()) || store.find(name, &record) != ResultsStore::Lookup::Found)
            return std::nullopt;
        return record;
    }

    QList<ResultRecord> records() const
    {
        ResultsStore store;
        return store.open(archivePath()) ? store.records().value_or(QList<ResultRecord>()) : QList<ResultRecord>();
    }

    void typeName(const QString &answer)
    {
        dialogs.answers << answer;
        click(child(form(), "cmdNOME"));
    }

    void clickListEntry(int row)
    {
        auto *list = child<QListView>(form(), "List1");
        // Near the left edge: the entry of a very long name reaches far past the view.
        const QRect entry = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(entry.left() + 4, entry.center().y()));
    }

    // Exercise 7: "spazio" right, "rapporto tra ambiente e avvenimento" right,
    // "economia" wrong, "  Implicito" under "Periodo" right.
    void answerExerciseSeven()
    {
        chooseItem(child<QComboBox>(main(), "Combo1"), 6);
        click(child(main(), "labspazio"));
        click(child(main(), "Label3_2"));
        click(child(main(), "labeconomia"));
        clickBox(child(main(), "Check2"));
    }

    // The captions of the ten counters of the main window.
    QStringList counters() const { return counterCaptions(main()); }

    // Whether the row holds the six running totals the main window shows.
    bool rowHoldsTotals(const ResultRecord &r) const
    {
        const ScoreSheet &s = main()->scoreSheet();
        const auto same = [&](double stored, ScoreSheet::Counter c) { return stored == double(s.value(c)); };
        return same(r.sovragiusti, ScoreSheet::sovragiusti) && same(r.sovrasbagliati, ScoreSheet::sovrasbagliati)
            && same(r.nozioligiusti, ScoreSheet::nozioligiusti) && same(r.noziolisbagliati, ScoreSheet::noziolisbagliati)
            && same(r.spaziotempogiusti, ScoreSheet::spaziotempogiusti)
            && same(r.spaziotemposbagliati, ScoreSheet::spaziotemposbagliati);
    }

    void archivio() { click(child(main(), "Labarchivio")); }
    void esci() { click(child(main(), "Labesci")); }

    void lookUp(const QString &surname, const QString &firstName)
    {
        child<QLineEdit>(results(), "Text2")->setText(surname);
        child<QLineEdit>(results(), "Text1")->setText(firstName);
        click(child(results(), "LabCERCA"));
    }

    FakeDialogs dialogs;
    std::unique_ptr<Module1> program;
    std::unique_ptr<QSignalSpy> finished;

private:
    QTemporaryDir m_dir;
    QString m_startFolder;
    bool m_ok = false;
};
