#include "app/module1.h"

#include "archive/dialogs.h"
#include "archive/formnome.h"
#include "archive/risultati.h"
#include "play/fnozioli.h"
#include "play/model/scoresheet.h"
#include "store/archiving.h"

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

Module1::Module1(Dialogs &dialogs, QObject *parent)
    : QObject(parent)
    , m_dialogs(dialogs)
{
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
    m_formNome = std::make_unique<FormNOME>(m_resultsDb, m_dialogs);
    connect(m_formNome.get(), &FormNOME::pupilNameSet, this, &Module1::setPupilName);
    connect(m_formNome.get(), &FormNOME::nameChosen, this, &Module1::showFnozioli);
    // "Esco" leaves like "Esci": answers given since the last archiving are
    // archived first, so that no way out of the program loses them.
    connect(m_formNome.get(), &FormNOME::escoRequested, this, &Module1::esci);
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
        m_fnozioli->placeOnScreen(m_formNome ? m_formNome->screen() : nullptr);
    }
    m_fnozioli->showFullScreen();
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
    const ArchiveResult result = archivia(m_resultsDb, m_pupilName, runningTotals(m_fnozioli->scoreSheet()));
    if (result.outcome == ArchiveResult::Failed) {
        m_dialogs.failure(m_fnozioli.get(), result.error.message);
        return;
    }
    if (m_pupilName.isEmpty()) {
        showFormNome();
        return;
    }
    if (!m_risultati) {
        m_risultati = new Risultati(m_resultsDb, m_dialogs, m_fnozioli.get());
        connect(m_risultati, &Risultati::escoRequested, this, &Module1::esci);
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
    if (m_ended)
        return true;
    if (m_lockWait.active())
        return false;
    if (m_fnozioli) {
        const ArchiveResult result = archivia(m_resultsDb, m_pupilName, runningTotals(m_fnozioli->scoreSheet()));
        if (result.outcome == ArchiveResult::Failed) {
            m_dialogs.failure(m_fnozioli.get(), result.error.message);
            return false;
        }
    }
    endProgram(0);
    return true;
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
