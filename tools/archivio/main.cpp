// nozioli-archivio: creates, exports and checks the results archive, the file
// "nozioli.mdb" or the tables on a PostgreSQL server; copies a file's rows to a
// server; sets the folder of the archive in the settings.
#include "register/classpdf.h"
#include "register/classreport.h"
#include "settings/settings.h"
#include "store/csvexport.h"
#include "store/resultsstore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

enum Exit { Success = 0, Failure = 1, Usage = 2 };

QString u8(const char *text) { return QString::fromUtf8(text); }

QTextStream &errorStream()
{
    static QTextStream stream(stderr);
    return stream;
}

void say(const QString &text)
{
    errorStream() << text << '\n';
    errorStream().flush();
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// "1 riga", "32.767 righe".
QString rowsText(qint64 n)
{
    return n == 1 ? u8("1 riga") : ClassTableModel::countText(n) + u8(" righe");
}

const char *const helpText =
    "Uso: nozioli-archivio COMANDO [ARGOMENTI] [OPZIONI]\n"
    "\n"
    "Crea, esporta e verifica l'archivio dei risultati di Nozioli: il file «nozioli.mdb»\n"
    "o le sue tabelle su un server PostgreSQL. Copia sul server le righe di un file e\n"
    "indica nelle impostazioni la cartella dell'archivio.\n"
    "\n"
    "Comandi:\n"
    "  crea [CARTELLA]                  crea un archivio vuoto «nozioli.mdb» nella cartella\n"
    "                                   (se non è indicata, l'archivio che userebbe il\n"
    "                                   programma, anche sul server); un archivio già\n"
    "                                   presente non viene mai sostituito\n"
    "  crea --server URI [--ruolo-alunni RUOLO]\n"
    "                                   crea l'archivio sul server PostgreSQL, con le tabelle\n"
    "                                   dell'utente che si collega; il ruolo degli alunni può\n"
    "                                   solo leggere, aggiungere e aggiornare le righe\n"
    "  esporta [ARCHIVIO] [-o FILE.csv] scrive tutte le righe dell'archivio in formato CSV\n"
    "                                   (UTF-8, con la riga dei nomi dei campi) nel file\n"
    "                                   indicato o sullo standard output\n"
    "  esporta --foglio [ARCHIVIO] [-o FILE.csv]\n"
    "                                   la tabella della classe per un foglio di calcolo\n"
    "                                   in italiano: punti e virgola, virgole decimali,\n"
    "                                   percentuali di risposte giuste, ordine alfabetico\n"
    "  rapporto [ARCHIVIO] -o FILE.pdf  il rapporto della classe in PDF (A4): tabella e\n"
    "                                   grafici, come «Stampa / PDF» del registro di classe\n"
    "  verifica [ARCHIVIO]              controlla struttura, versione e integrità\n"
    "                                   dell'archivio e dice che cosa non va\n"
    "  trasferisci FILE.mdb [--server URI]\n"
    "                                   copia sul server (senza --server, quello delle\n"
    "                                   impostazioni) ogni riga dell'archivio file; di un\n"
    "                                   nome già presente resta la data più recente\n"
    "  configura --cartella CARTELLA [--sistema]\n"
    "                                   scrive nelle impostazioni dell'utente (con --sistema,\n"
    "                                   in quelle di tutto il PC, come amministratore) la\n"
    "                                   cartella che contiene l'archivio\n"
    "\n"
    "ARCHIVIO, se non è indicato, è quello che userebbe il programma: il server\n"
    "indicato dalle impostazioni (nozioli.ini, [archivio] server=), altrimenti\n"
    "«nozioli.mdb» nella cartella indicata dalle impostazioni o in quella corrente.\n"
    "ARCHIVIO e URI possono essere l'indirizzo di un server, «postgresql://…»: la\n"
    "password non va nell'indirizzo ma nel file ~/.pgpass (o in quello di passfile=).\n"
    "\n"
    "Opzioni:\n"
    "  -o, --output FILE       (con esporta e rapporto) il file da scrivere\n"
    "  --foglio                (solo con esporta) il CSV per un foglio di calcolo\n"
    "  --server URI            (con crea e trasferisci) il server PostgreSQL\n"
    "  --ruolo-alunni RUOLO    (solo con crea) il ruolo degli alunni sul server\n"
    "  --cartella CARTELLA     (solo con configura) la cartella dell'archivio\n"
    "  --sistema               (solo con configura) le impostazioni di tutto il PC\n"
    "  -h, --help              mostra questo aiuto\n"
    "  -v, --version           mostra la versione\n"
    "\n"
    "Stato di uscita: 0 se il comando è riuscito, 1 se non è riuscito,\n"
    "2 se il comando è scritto in modo sbagliato.\n";

int usageError(const QString &text)
{
    say(u8("nozioli-archivio: ") + text);
    say(u8("Scrivi «nozioli-archivio --help» per l'elenco dei comandi."));
    return Usage;
}

bool isServer(const QString &location) { return ResultsStore::isServerAddress(location); }

// A file's absolute path; a server's address as it is.
QString absolute(const QString &location)
{
    return isServer(location) ? location : QFileInfo(location).absoluteFilePath();
}

// What follows "l'archivio" in a message: «/path/nozioli.mdb», or the server
// as host:port/database (an address may hold a password: it is never shown).
QString named(const QString &location)
{
    const QString label = ResultsStore::locationLabel(location);
    return isServer(location) ? u8("del server «%1»").arg(label) : u8("«%1»").arg(label);
}

// The settings; nullopt, once the reason is said, when a setting cannot be used.
std::optional<Settings> programSettings()
{
    QString problem;
    std::optional<Settings> settings = settings::load(&problem);
    if (!settings)
        say(problem);
    return settings;
}

// The archive the program would use: the server of the settings, otherwise
// "nozioli.mdb" in their folder, otherwise in the current folder.
std::optional<QString> programArchive()
{
    const std::optional<Settings> settings = programSettings();
    if (!settings)
        return std::nullopt;
    const QString folder = settings->archiveFolder.isEmpty() ? QDir::currentPath() : settings->archiveFolder;
    return absolute(ResultsStore::locationIn(folder, settings->server));
}

// The archive named on the command line, otherwise the program's.
std::optional<QString> archiveArgument(const QStringList &args)
{
    if (!args.isEmpty())
        return absolute(args.first());
    return programArchive();
}

// The archive in the folder or on the server given, otherwise the program's.
int crea(const QStringList &args, const QString &server, const QString &pupilRole)
{
    std::optional<QString> archive;
    if (!server.isEmpty())
        archive = server;
    else if (!args.isEmpty())
        archive = absolute(isServer(args.first()) ? args.first() : ResultsStore::pathIn(args.first()));
    else
        archive = programArchive();
    if (!archive)
        return Failure;
    const QString location = *archive;
    if (!pupilRole.isEmpty() && !isServer(location))
        return usageError(u8("l'opzione «--ruolo-alunni» vale solo per un archivio su un server (--server URI)"));
    StoreError error;
    if (!ResultsStore::create(location, &error, pupilRole)) {
        say(error.message);
        return Failure;
    }
    const QString label = ResultsStore::locationLabel(location);
    if (!isServer(location)) {
        say(u8("Creato l'archivio dei risultati vuoto «%1».").arg(label));
        return Success;
    }
    say(u8("Creato l'archivio dei risultati vuoto sul server «%1».").arg(label));
    if (pupilRole.isEmpty())
        say(u8("Nessun ruolo degli alunni indicato: gli alunni potranno usarlo quando il loro ruolo avrà\n"
               "    GRANT SELECT, INSERT ON nozioli TO ruolo;\n"
               "    GRANT UPDATE (data, spaziotempogiusti, spaziotemposbagliati, sovragiusti, sovrasbagliati,\n"
               "                  nozioligiusti, noziolisbagliati) ON nozioli TO ruolo;\n"
               "    GRANT SELECT ON nozioli_versione TO ruolo;"));
    else
        say(u8("Gli alunni, con il ruolo «%1», possono leggere, aggiungere e aggiornare le righe, e nient'altro.")
                .arg(pupilRole));
    return Success;
}

// A total the store could not read as a number (NaN) stays an empty field.
QString csvNumber(double v)
{
    if (std::isnan(v))
        return QString();
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(qint64(v));
    return QString::number(v, 'g', 17);
}

QByteArray csv(const QList<ResultRecord> &rows)
{
    const QString crlf = u8("\r\n");
    QString out = u8("nome,data,sovragiusti,sovrasbagliati,nozioligiusti,noziolisbagliati,"
                     "spaziotempogiusti,spaziotemposbagliati")
        + crlf;
    for (const ResultRecord &r : rows) {
        const QStringList fields{
            csvCell(r.nome),
            r.data.isValid() ? r.data.toString(u8("yyyy-MM-dd HH:mm:ss")) : QString(),
            csvNumber(r.sovragiusti),
            csvNumber(r.sovrasbagliati),
            csvNumber(r.nozioligiusti),
            csvNumber(r.noziolisbagliati),
            csvNumber(r.spaziotempogiusti),
            csvNumber(r.spaziotemposbagliati),
        };
        out += fields.join(u',') + crlf;
    }
    return out.toUtf8();
}

// What went wrong with a write, in Italian, from the system's error number
// taken right after the failing call; else the device's own description.
QString writeProblem(int error, const QFileDevice &device)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return u8("non c'è più spazio sul disco");
    case EFBIG:
        return u8("il file supererebbe la dimensione massima consentita");
    case EACCES:
    case EPERM:
        return u8("non hai il permesso di scriverci");
    case EROFS:
        return u8("il disco è di sola lettura");
    case EIO:
        return u8("errore di lettura o scrittura del disco");
    default:
        break;
    }
    if (device.error() != QFileDevice::NoError && !device.errorString().isEmpty())
        return device.errorString();
    return u8("la scrittura si è interrotta");
}

// Writes all of data to a device opened unbuffered, so that a failure shows at
// the call that met it, with its error number. Returns the problem, or "".
QString writeAll(QFileDevice &out, const QByteArray &data)
{
    errno = 0;
    if (out.write(data) != data.size() || !out.flush())
        return writeProblem(errno, out);
    return {};
}

QString writeToStandardOutput(const QByteArray &data)
{
    QFile out;
    errno = 0;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return u8("lo standard output è chiuso");
    return writeAll(out, data);
}

// A regular file is written under a temporary name in its folder and moved
// into place only once all of it is on the disk, so that a failure leaves any
// earlier file as it was. Anything else already there (a device, a pipe) is
// written directly: it cannot be replaced, and must not be.
QString writeFile(const QString &fileName, const QByteArray &data)
{
    const QFileInfo target(fileName);
    if (target.isDir())
        return u8("con quel nome c'è una cartella");
    if (target.exists() && !target.isFile()) {
        QFile out(fileName);
        errno = 0;
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return writeProblem(errno, out);
        if (QString problem = writeAll(out, data); !problem.isEmpty())
            return problem;
        errno = 0;
        out.close();
        return out.error() == QFileDevice::NoError ? QString() : writeProblem(errno, out);
    }
    QSaveFile out(fileName);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeProblem(errno, out);
    if (QString problem = writeAll(out, data); !problem.isEmpty())
        return problem;     // the temporary file goes with out
    errno = 0;
    if (::fsync(out.handle()) != 0 && errno != EINVAL)
        return writeProblem(errno, out);
    errno = 0;
    if (!out.commit())
        return writeProblem(errno, out);
    return {};
}

// Every row of the archive, as the program reads it; says why on failure.
// A server's is always read in read-only transactions.
std::optional<QList<ResultRecord>> readRows(const QString &path, bool readOnly)
{
    ResultsStore store;
    std::optional<QList<ResultRecord>> rows;
    if (readOnly || isServer(path) ? store.openReadOnly(path) : store.open(path))
        rows = store.records();
    if (!rows)
        say(store.lastError().message);
    return rows;
}

int esporta(const QStringList &args, const QString &output, bool sheet)
{
    const std::optional<QString> archive = archiveArgument(args);
    if (!archive)
        return Failure;
    const QString path = *archive;
    if (!output.isEmpty() && output != u8("-") && !isServer(path)) {
        const QFileInfo out(output);
        if (out.absoluteFilePath() == path
            || (out.exists() && out.canonicalFilePath() == QFileInfo(path).canonicalFilePath())) {
            say(u8("Il file CSV «%1» sarebbe l'archivio stesso: scegli un altro nome.").arg(native(output)));
            return Failure;
        }
    }
    QByteArray data;
    qsizetype count = 0;
    {
        const std::optional<QList<ResultRecord>> rows = readRows(path, false);
        if (!rows)
            return Failure;
        if (sheet) {
            ClassTableModel table;
            table.setRecords(*rows);
            data = spreadsheetCsv(table, rowsByName(table));
        } else {
            data = csv(*rows);
        }
        count = rows->size();
    }
    if (output.isEmpty() || output == u8("-")) {
        const QString problem = writeToStandardOutput(data);
        if (!problem.isEmpty()) {
            say(u8("Impossibile scrivere il CSV sullo standard output: %1.").arg(problem));
            return Failure;
        }
        return Success;
    }
    const bool replacing = QFileInfo(output).isFile();
    const QString problem = writeFile(output, data);
    if (!problem.isEmpty()) {
        say(u8("Impossibile scrivere il file CSV «%1»: %2.").arg(native(output), problem)
            + (replacing ? u8(" Il file già presente non è stato cambiato.") : QString()));
        return Failure;
    }
    say(u8("%1 %2 dell'archivio %3 nel file «%4».")
            .arg(count == 1 ? u8("Esportata") : u8("Esportate"), rowsText(count), named(path), native(output)));
    return Success;
}

int verifica(const QStringList &args)
{
    const std::optional<QString> archive = archiveArgument(args);
    if (!archive)
        return Failure;
    const QString path = *archive;
    ArchiveFacts facts;
    const QStringList problems = ResultsStore::verify(path, &facts);
    if (problems.isEmpty()) {
        // And the program itself opens it and reads every row.
        const std::optional<QList<ResultRecord>> rows = readRows(path, false);
        if (!rows)
            return Failure;
        say(u8("L'archivio %1 è in ordine: %2, struttura versione %3.")
                .arg(named(path), rowsText(rows->size()), QString::number(facts.version)));
        return Success;
    }
    // No file to have problems, or a server that could not be read: what is
    // there instead is the one message.
    if (isServer(path) ? facts.rows < 0 && problems.size() == 1 : !QFileInfo(path).isFile()) {
        say(problems.first());
        return Failure;
    }
    say(u8("L'archivio %1 ha dei problemi:").arg(named(path)));
    for (const QString &p : problems)
        say(u8("  - ") + p);
    return Failure;
}

int rapporto(const QStringList &args, const QString &output)
{
    const std::optional<QString> archive = archiveArgument(args);
    if (!archive)
        return Failure;
    const QString path = *archive;
    if (!isServer(path) && QFileInfo(output).absoluteFilePath() == path) {
        say(u8("Il file PDF «%1» sarebbe l'archivio stesso: scegli un altro nome.").arg(native(output)));
        return Failure;
    }
    const std::optional<QList<ResultRecord>> rows = readRows(path, true);
    if (!rows)
        return Failure;
    ClassTableModel table;
    table.setRecords(*rows);
    ClassReportHeading heading;
    heading.archive = ResultsStore::displayName(path);
    heading.when = QDateTime::currentDateTime();
    QString error;
    if (!writeClassPdf(output, table, rowsByName(table), heading, &error)) {
        say(error);
        return Failure;
    }
    say(u8("Scritto il rapporto di %1 dell'archivio %2 nel file «%3».")
            .arg(ClassTableModel::pupilsText(rows->size()), named(path), native(output)));
    return Success;
}

// Whether a row of a file can go to the server as it is: a name, a moment,
// and six whole totals from 0 up, within what a double holds exactly.
bool transferable(const ResultRecord &r)
{
    if (r.nome.isEmpty() || !r.data.isValid())
        return false;
    for (const TotalField &f : totalFields) {
        const double v = r.*f.recorded;
        if (!(v >= 0 && v <= 9007199254740992.0) || std::floor(v) != v)     // NaN fails the first test
            return false;
    }
    return true;
}

// Copies every sound row of the file to the server, each with saveIfNewer():
// of a name on both, the newer moment stays. Run again, it copies nothing.
int trasferisci(const QString &file, const QString &server)
{
    const std::optional<QList<ResultRecord>> rows = readRows(file, true);
    if (!rows)
        return Failure;
    ResultsStore target;
    // The moment of each name already on the server, read once, tells the rows
    // to copy from those to leave: a row no newer is not sent at all.
    QHash<QString, qint64> onServer;
    {
        std::optional<QList<ResultRecord>> existing;
        if (target.open(server))
            existing = target.records();
        if (!existing) {
            say(target.lastError().message);
            return Failure;
        }
        for (const ResultRecord &r : std::as_const(*existing))
            onServer.insert(ResultsStore::foldName(r.nome), r.data.toSecsSinceEpoch());
    }
    qsizetype copied = 0, kept = 0, skipped = 0;
    const auto summary = [&] {
        say(u8("Dall'archivio %1 al server «%2»:\n"
               "  righe copiate: %3\n"
               "  righe lasciate com'erano (sul server erano più recenti o uguali): %4\n"
               "  righe saltate (senza nome, o con totali o data danneggiati): %5")
                .arg(named(file), ResultsStore::locationLabel(server), QString::number(copied),
                     QString::number(kept), QString::number(skipped)));
    };
    // One round trip and one commit a row copied: a large class takes a while.
    say(u8("Copio sul server «%1» %2 dell'archivio %3…")
            .arg(ResultsStore::locationLabel(server),
                 (rows->size() == 1 ? u8("la ") : u8("le ")) + rowsText(rows->size()), named(file)));
    for (const ResultRecord &r : std::as_const(*rows)) {
        if (!transferable(r)) {
            ++skipped;
            continue;
        }
        const QString key = ResultsStore::foldName(r.nome);
        const qint64 when = r.data.toSecsSinceEpoch();
        if (const auto there = onServer.constFind(key); there != onServer.cend() && *there >= when) {
            ++kept;
            continue;
        }
        ArchiveTotals totals;
        for (const TotalField &f : totalFields)
            totals.*f.archived = qint64(r.*f.recorded);
        // Still only if newer: a pupil may have archived meanwhile.
        if (!target.saveIfNewer(r.nome, totals, r.data)) {
            say(target.lastError().message);
            summary();
            say(u8("Il trasferimento si è interrotto: rieseguito, riprende senza copiare due volte."));
            return Failure;
        }
        ++copied;
        onServer.insert(key, when);
    }
    summary();
    return Success;
}

// The command, read before the application exists: the first argument that is
// neither an option nor the value of an option that takes one.
QByteArray commandWord(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-o" || a == "--output" || a == "--cartella" || a == "--server" || a == "--ruolo-alunni")
            ++i;
        else if (!a.startsWith('-'))
            return a;
    }
    return {};
}

int configura(const QString &folder, bool system)
{
    const QString file = system ? settings::systemFile() : settings::userFile();
    QString problem;
    if (!settings::writeArchiveFolder(file, folder, &problem)) {
        say(problem);
        if (system)
            say(u8("Le impostazioni di tutto il PC si scrivono come amministratore, per esempio con «sudo»."));
        return Failure;
    }
    const QString archive = QDir(QFileInfo(folder).absoluteFilePath()).filePath(ResultsStore::defaultFileName());
    say(u8("Scritta nel file delle impostazioni «%1» la cartella dell'archivio «%2».")
            .arg(native(file), native(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))));
    if (!QFileInfo::exists(archive))
        say(u8("Nella cartella non c'è ancora un archivio: crealo con\n    nozioli-archivio crea \"%1\"")
                .arg(native(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))));
    // The file's own server, if it names one, comes before any folder.
    QString unused;
    if (const std::optional<Settings> written = settings::read(file, &unused); written && !written->server.isEmpty())
        say(u8("Attenzione: lo stesso file indica anche un server per l'archivio (server=), che vale al posto della "
               "cartella: togli quella riga per usare la cartella."));
    // Only the first settings file found is read: one met before this one wins.
    for (const QString &before : settings::searchPaths()) {
        if (before == file)
            break;
        if (QFileInfo(before).isFile()) {
            say(u8("Attenzione: il file delle impostazioni «%1» viene letto prima di questo e vale al suo posto.")
                    .arg(native(before)));
            break;
        }
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    // The report draws text and charts: a GUI application, on the offscreen
    // platform unless another one is asked for, so that it runs without a display.
    const bool report = commandWord(argc, argv) == "rapporto";
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app(report ? new QApplication(argc, argv)
                                                       : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(u8("nozioli-archivio"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(NOZIOLI_VERSION));

    QCommandLineParser parser;
    const QCommandLineOption help({u8("h"), u8("help")}, u8("Mostra questo aiuto."));
    const QCommandLineOption version({u8("v"), u8("version")}, u8("Mostra la versione."));
    const QCommandLineOption output({u8("o"), u8("output")}, u8("Il file da scrivere."), u8("FILE"));
    const QCommandLineOption sheet(u8("foglio"), u8("Il CSV per un foglio di calcolo in italiano."));
    const QCommandLineOption folder(u8("cartella"), u8("La cartella dell'archivio."), u8("CARTELLA"));
    const QCommandLineOption system(u8("sistema"), u8("Le impostazioni di tutto il PC."));
    const QCommandLineOption server(u8("server"), u8("Il server PostgreSQL dell'archivio."), u8("URI"));
    const QCommandLineOption pupilRole(u8("ruolo-alunni"), u8("Il ruolo degli alunni sul server."), u8("RUOLO"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(output);
    parser.addOption(sheet);
    parser.addOption(folder);
    parser.addOption(system);
    parser.addOption(server);
    parser.addOption(pupilRole);
    parser.addPositionalArgument(u8("comando"), u8("crea, esporta, rapporto, verifica, trasferisci o configura"));

    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            return usageError(u8("opzione sconosciuta «%1%2»").arg(name.size() == 1 ? u8("-") : u8("--"), name));
        }
        // "Missing value after '--cartella'.": the option as it was written.
        const QRegularExpressionMatch option = QRegularExpression(u8("'(-[^']*)'")).match(parser.errorText());
        return usageError(
            u8("all'opzione «%1» manca il valore").arg(option.hasMatch() ? option.captured(1) : u8("-o")));
    }
    if (parser.isSet(help)) {
        QTextStream(stdout) << u8(helpText);
        return Success;
    }
    if (parser.isSet(version)) {
        QTextStream(stdout) << u8("nozioli-archivio %1\n").arg(QCoreApplication::applicationVersion());
        return Success;
    }

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(u8("manca il comando (crea, esporta, rapporto, verifica, trasferisci o configura)"));
    const QString command = args.takeFirst();
    if (args.size() > 1)
        return usageError(u8("troppi argomenti per «%1»").arg(command));
    if (parser.isSet(output) && command != u8("esporta") && command != u8("rapporto"))
        return usageError(u8("l'opzione «-o» vale solo per «esporta» e «rapporto»"));
    if (parser.isSet(sheet) && command != u8("esporta"))
        return usageError(u8("l'opzione «--foglio» vale solo per «esporta»"));
    if ((parser.isSet(folder) || parser.isSet(system)) && command != u8("configura"))
        return usageError(u8("le opzioni «--cartella» e «--sistema» valgono solo per «configura»"));
    if (parser.isSet(server) && command != u8("crea") && command != u8("trasferisci"))
        return usageError(u8("l'opzione «--server» vale solo per «crea» e «trasferisci»"));
    if (parser.isSet(pupilRole) && command != u8("crea"))
        return usageError(u8("l'opzione «--ruolo-alunni» vale solo per «crea»"));
    if (parser.isSet(server) && !isServer(parser.value(server)))
        return usageError(u8("«--server» vuole l'indirizzo di un server PostgreSQL: postgresql://…"));
    if (parser.isSet(pupilRole) && parser.value(pupilRole).isEmpty())
        return usageError(u8("«--ruolo-alunni» vuole il nome del ruolo degli alunni"));

    if (command == u8("crea")) {
        if (parser.isSet(server) && !args.isEmpty())
            return usageError(u8("«crea» vuole la cartella oppure «--server URI», non tutti e due"));
        return crea(args, parser.value(server), parser.value(pupilRole));
    }
    if (command == u8("esporta"))
        return esporta(args, parser.value(output), parser.isSet(sheet));
    if (command == u8("rapporto")) {
        if (parser.value(output).isEmpty())
            return usageError(u8("«rapporto» vuole il file PDF da scrivere: -o FILE.pdf"));
        return rapporto(args, parser.value(output));
    }
    if (command == u8("verifica"))
        return verifica(args);
    if (command == u8("trasferisci")) {
        if (args.isEmpty())
            return usageError(u8("a «trasferisci» manca l'archivio file da copiare: trasferisci FILE.mdb"));
        if (isServer(args.first()))
            return usageError(u8("«trasferisci» copia sul server un archivio file: indica il file «.mdb»"));
        QString target = parser.value(server);
        if (target.isEmpty()) {
            const std::optional<Settings> settings = programSettings();
            if (!settings)
                return Failure;
            target = settings->server;
        }
        if (target.isEmpty())
            return usageError(u8("a «trasferisci» manca il server: --server URI, oppure server= nelle impostazioni"));
        return trasferisci(absolute(args.first()), target);
    }
    if (command == u8("configura")) {
        if (!args.isEmpty())
            return usageError(u8("«configura» non vuole argomenti, solo le opzioni"));
        if (!parser.isSet(folder))
            return usageError(u8("a «configura» manca l'opzione «--cartella CARTELLA»"));
        return configura(parser.value(folder), parser.isSet(system));
    }
    return usageError(u8("comando sconosciuto «%1»").arg(command));
}
