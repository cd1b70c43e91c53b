#include "app/module1.h"

#include "archive/dialogs.h"
#include "archive/formnome.h"
#include "archive/risultati.h"
#include "play/fnozioli.h"
#include "play/model/scoresheet.h"
#include "store/archiving.h"
#include "store/pendingresults.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWindow>

ArchiveTotals runningTotals(const ScoreSheet &sheet)
{
    ArchiveTotals t;
    t.sovragiusti = sheet.value(ScoreSheet::sovragiusti);
    t.sovrasbagliati = sheet.value(ScoreSheet::sovrasbagliati);
    t.nozioligiusti = sheet.value(ScoreSheet::nozioligiusti);
    t.noziolisbagliati = sheet.value(ScoreSheet::noziolisbagliati);
    t.spaziotempogiusti = sheet.value(ScoreSheet::spaziotempogiusti);
    t.spaziotemposbagliati = sheet.value(ScoreSheet::spaziotemposbagliati);
    return t;
}

Module1::Module1(Dialogs &dialogs, const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_settings(settings)
{
    m_resultsDb.setPath(ResultsStore::locationIn(settings.archiveFolder, settings.server));
    // Only finished() ends the program: hiding or closing the last window
    // must never end it with answers not yet archived.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_resultsDb.setLockWaitListener(&m_lockWait);
}

Module1::~Module1()
{
    // Risultati goes with the main window.
    m_fnozioli.reset();
    m_formNome.reset();
}

bool Module1::start()
{
    applyPendingResults();
    m_formNome = std::make_unique<FormNOME>(m_resultsDb, m_dialogs);
    connect(m_formNome.get(), &FormNOME::pupilNameSet, this, &Module1::setPupilName);
    connect(m_formNome.get(), &FormNOME::nameChosen, this, &Module1::showFnozioli);
    // "Esco" archives answers given since the last archiving, so that no way
    // out of the program loses them.
    connect(m_formNome.get(), &FormNOME::escoRequested, this, &Module1::esco);
    if (!m_formNome->loaded()) {
        m_dialogs.failure(nullptr, startFailureMessage(m_resultsDb.lastError(), m_resultsDb.filePath()));
        endProgram(ExitArchiveUnavailable);
        return false;
    }
    m_formNome->show();
    return true;
}

QString Module1::startFailureMessage(const StoreError &error, const QString &filePath)
{
    QString text = error.message;
    if (error.kind == StoreError::Missing) {
        const QFileInfo file(filePath.isEmpty() ? ResultsStore::defaultFileName() : filePath);
        text += QStringLiteral("\n\nPer creare un archivio nuovo e vuoto in questa cartella, l'insegnante "
                               "può usare il comando:\n    nozioli-archivio crea \"%1\"")
                    .arg(QDir::toNativeSeparators(file.absolutePath()));
    }
    return text;
}

void Module1::showFnozioli()
{
    if (!m_fnozioli) {
        m_fnozioli = std::make_unique<FNozioli>();
        connect(m_fnozioli.get(), &FNozioli::archivioRequested, this, &Module1::archivioDeiRisultati);
        connect(m_fnozioli.get(), &FNozioli::esciRequested, this, &Module1::esci);
        connect(m_fnozioli.get(), &FNozioli::closeRequested, this, &Module1::esco);
        m_fnozioli->placeOnScreen(m_formNome ? m_formNome->screen() : nullptr);
    }
    if (settings::fullScreen(m_settings))
        m_fnozioli->showFullScreen();
    else
        m_fnozioli->showMaximized();
    m_fnozioli->raise();
    m_fnozioli->activateWindow();
}

void Module1::showFormNome()
{
    if (!m_formNome)
        return;
    m_formNome->show();
    // Stays in front of the main window, which covers the screen.
    if (m_fnozioli && m_formNome->windowHandle() && m_fnozioli->windowHandle())
        m_formNome->windowHandle()->setTransientParent(m_fnozioli->windowHandle());
    m_formNome->raise();
    m_formNome->activateWindow();
}

void Module1::archivioDeiRisultati()
{
    // While the archive is waited for, windows repaint and a window's close
    // control may still be delivered: nothing starts a second archiving.
    if (!m_fnozioli || m_ended || m_lockWait.active())
        return;
    const ArchiveTotals totals = runningTotals(m_fnozioli->scoreSheet());
    const ArchiveResult result = archivia(m_resultsDb, m_pupilName, totals);
    if (result.outcome == ArchiveResult::Failed) {
        m_dialogs.failure(m_fnozioli.get(), result.error.message);
        return;
    }
    m_archived = totals;
    if (m_pupilName.isEmpty()) {
        showFormNome();
        return;
    }
    if (!m_risultati) {
        m_risultati = new Risultati(m_resultsDb, m_dialogs, m_fnozioli.get());
        connect(m_risultati, &Risultati::escoRequested, this, &Module1::esco);
    }
    m_risultati->showPupil(m_pupilName);
    if (m_ended)
        return;
    m_risultati->show();
    m_risultati->raise();
    m_risultati->activateWindow();
}

bool Module1::esci()
{
    return leave(true);
}

bool Module1::esco()
{
    return leave(false);
}

bool Module1::leave(bool alwaysArchive)
{
    if (m_ended)
        return true;
    // A click that comes while the program waits for a busy archive is dropped.
    if (m_lockWait.active())
        return false;
    const ArchiveTotals totals = m_fnozioli ? runningTotals(m_fnozioli->scoreSheet()) : ArchiveTotals();
    // Unless it always archives, an exit writes only totals that changed
    // since the last archiving of this run.
    if (m_fnozioli && (alwaysArchive || totals != m_archived.value_or(ArchiveTotals()))) {
        for (;;) {
            const QDateTime now = QDateTime::currentDateTime();
            const ArchiveResult result = archivia(m_resultsDb, m_pupilName, totals, now);
            if (result.outcome != ArchiveResult::Failed)
                break;
            const Dialogs::ExitChoice choice = m_dialogs.archiveFailedOnExit(m_fnozioli.get(), result.error.message);
            if (choice == Dialogs::ExitChoice::Stay)
                return false;
            if (choice == Dialogs::ExitChoice::Retry)
                continue;
            PendingResults pending;
            if (pending.add({m_pupilName, now, totals}))
                break;
            m_dialogs.failure(m_fnozioli.get(),
                              QStringLiteral("Non è stato possibile conservare i risultati su questo computer: %1. "
                                             "Il programma resta aperto: riprova più tardi.")
                                  .arg(pending.error()));
            return false;
        }
    }
    endProgram(0);
    return true;
}

void Module1::applyPendingResults()
{
    PendingResults pending;
    if (pending.isEmpty() || !m_resultsDb.open())
        return;     // an archive that cannot be opened is reported by the pupil window
    pending.applyTo(m_resultsDb);
    if (!pending.error().isEmpty())
        m_dialogs.failure(nullptr, QStringLiteral("Alcuni risultati conservati su questo computer non sono ancora "
                                                  "stati archiviati; il programma riproverà al prossimo avvio.\n\n")
                                       + pending.error());
}

void Module1::endProgram(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    m_resultsDb.close();
    if (m_risultati)
        m_risultati->hide();
    if (m_fnozioli)
        m_fnozioli->hide();
    if (m_formNome)
        m_formNome->hide();
    emit finished(exitCode);
}
