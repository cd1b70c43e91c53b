#pragma once

#include "archive/lockwaitnote.h"
#include "settings/settings.h"
#include "store/resultsstore.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Dialogs;
class FNozioli;
class ScoreSheet;
class FormNOME;
class Risultati;

// The six running totals of the score sheet, as archiving writes them.
ArchiveTotals runningTotals(const ScoreSheet &sheet);

// The program-wide state and the three windows. Owned by main(); the
// windows read the state through it. Windows are created once and then only
// shown and hidden: FormNOME at start, the main window on its first showing,
// Risultati on its first use.
//
// The program ends through finished(), which main() turns into the end of
// the event loop; before it, the archive is closed and every window hidden.
class Module1 : public QObject
{
    Q_OBJECT

public:
    // Exit status when the archive cannot be opened at start.
    static constexpr int ExitArchiveUnavailable = 1;

    // The settings name the archive and how the main window is shown.
    explicit Module1(Dialogs &dialogs, const Settings &settings = {}, QObject *parent = nullptr);
    ~Module1() override;

    // Creates FormNOME, whose load opens the archive ("nozioli.mdb" in the
    // folder of the settings, or in the current folder) and lists the
    // archived names, and shows it. When the archive cannot be
    // opened, says why and how to create one, ends the program with
    // ExitArchiveUnavailable and returns false.
    bool start();

    // The pupil's own name, under which archiving always writes.
    const QString &pupilName() const { return m_pupilName; }
    void setPupilName(const QString &name) { m_pupilName = name; }
    ResultsStore &resultsDb() { return m_resultsDb; }
    Dialogs &dialogs() const { return m_dialogs; }
    const Settings &settings() const { return m_settings; }

    FormNOME *formNome() const { return m_formNome.get(); }
    FNozioli *fnozioli() const { return m_fnozioli.get(); }
    Risultati *risultati() const { return m_risultati; }

    // Shows the main window, creating (and so loading) it on the first
    // showing: full-screen or maximized, as settings::fullScreen() says.
    void showFnozioli();
    // Shows the pupil window again, over the main window.
    void showFormNome();

    // "Archivio dei risultati": archives, then shows the pupil's results
    // (or the pupil window when no name is set). A failed archiving is
    // reported and nothing else happens. Neither this nor esci() does
    // anything while the archive is being waited for.
    void archivioDeiRisultati();
    // "Esci": archives, then ends the program. When archiving fails the pupil
    // tries again, or leaves with the record kept among the pending results
    // of this PC, or stays with every total intact.
    // Returns whether the program ended.
    bool esci();
    // "Esco" of the other windows and the window system's close controls:
    // the same, but they archive only when a total has changed since the
    // last archiving of this run.
    bool esco();
    // Closes the archive, hides every window and emits finished(exitCode).
    void endProgram(int exitCode);
    bool hasEnded() const { return m_ended; }

    // What the pupil or the teacher is told when the archive cannot be
    // opened at start: the store's reason and, when the file is missing,
    // how to create an archive.
    static QString startFailureMessage(const StoreError &error, const QString &filePath);

signals:
    void finished(int exitCode);

private:
    bool leave(bool alwaysArchive);
    // Writes the pending results of this PC into the archive; a failure is
    // said once and leaves them pending.
    void applyPendingResults();

    Dialogs &m_dialogs;
    Settings m_settings;
    QString m_pupilName;
    LockWaitNote m_lockWait;                // told by the store, so declared before it
    ResultsStore m_resultsDb;
    std::unique_ptr<FormNOME> m_formNome;
    std::unique_ptr<FNozioli> m_fnozioli;
    Risultati *m_risultati = nullptr;       // a window of its own, owned by the main window
    bool m_ended = false;
    // The totals as the last successful archiving of this run left them.
    std::optional<ArchiveTotals> m_archived;
};
