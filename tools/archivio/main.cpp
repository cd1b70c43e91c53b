// nozioli-archivio: creates, exports and checks the results archive "nozioli.mdb",
// and sets the folder of the archive in the settings.
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

const char *const helpText =
    "Uso: nozioli-archivio COMANDO [ARGOMENTI] [OPZIONI]\n"
    "\n"
    "Crea, esporta e verifica l'archivio dei risultati di Nozioli («nozioli.mdb»)\n"
    "e indica nelle impostazioni la cartella che lo contiene.\n"
    "\n"
    "Comandi:\n"
    "  crea [CARTELLA]                  crea un archivio vuoto «nozioli.mdb» nella cartella\n"
    "                                   (se non è indicata, quella che userebbe il programma);\n"
    "                                   un file già presente non viene mai sostituito\n"
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
    "  configura --cartella CARTELLA [--sistema]\n"
    "                                   scrive nelle impostazioni dell'utente (con --sistema,\n"
    "                                   in quelle di tutto il PC, come amministratore) la\n"
    "                                   cartella che contiene l'archivio\n"
    "\n"
    "ARCHIVIO, se non è indicato, è quello che userebbe il programma: «nozioli.mdb»\n"
    "nella cartella indicata dalle impostazioni (nozioli.ini), altrimenti in quella\n"
    "corrente.\n"
    "\n"
    "Opzioni:\n"
    "  -o, --output FILE       (con esporta e rapporto) il file da scrivere\n"
    "  --foglio                (solo con esporta) il CSV per un foglio di calcolo\n"
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

// The folder of the archive the program would use: the one of the settings,
// otherwise the current folder. nullopt, once the reason is said, when a
// setting cannot be used.
std::optional<QString> programFolder()
{
    QString problem;
    const std::optional<Settings> settings = settings::load(&problem);
    if (!settings) {
        say(problem);
        return std::nullopt;
    }
    return settings->archiveFolder.isEmpty() ? QDir::currentPath() : settings->archiveFolder;
}

// The archive named on the command line, otherwise the program's.
std::optional<QString> archiveArgument(const QStringList &args)
{
    if (!args.isEmpty())
        return QFileInfo(args.first()).absoluteFilePath();
    const std::optional<QString> folder = programFolder();
    if (!folder)
        return std::nullopt;
    return QFileInfo(ResultsStore::pathIn(*folder)).absoluteFilePath();
}

int crea(const QStringList &args)
{
    const std::optional<QString> folder = args.isEmpty() ? programFolder() : args.first();
    if (!folder)
        return Failure;
    const QString path = QFileInfo(ResultsStore::pathIn(*folder)).absoluteFilePath();
    StoreError error;
    if (!ResultsStore::create(path, &error)) {
        say(error.message);
        return Failure;
    }
    say(u8("Creato l'archivio dei risultati vuoto «%1».").arg(native(path)));
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
std::optional<QList<ResultRecord>> readRows(const QString &path, bool readOnly)
{
    ResultsStore store;
    std::optional<QList<ResultRecord>> rows;
    if (readOnly ? store.openReadOnly(path) : store.open(path))
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
    if (!output.isEmpty() && output != u8("-")) {
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
    say(u8("Esportate %1 righe dell'archivio «%2» nel file «%3».").arg(count).arg(native(path), native(output)));
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
        say(u8("L'archivio «%1» è in ordine: %2 righe, struttura versione %3.")
                .arg(native(path))
                .arg(rows->size())
                .arg(facts.version));
        return Success;
    }
    // No file to have problems: what is there instead is the one message.
    if (!QFileInfo(path).isFile()) {
        say(problems.first());
        return Failure;
    }
    say(u8("L'archivio «%1» ha dei problemi:").arg(native(path)));
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
    if (QFileInfo(output).absoluteFilePath() == path) {
        say(u8("Il file PDF «%1» sarebbe l'archivio stesso: scegli un altro nome.").arg(native(output)));
        return Failure;
    }
    const std::optional<QList<ResultRecord>> rows = readRows(path, true);
    if (!rows)
        return Failure;
    ClassTableModel table;
    table.setRecords(*rows);
    ClassReportHeading heading;
    heading.archive = QFileInfo(path).fileName();
    heading.when = QDateTime::currentDateTime();
    QString error;
    if (!writeClassPdf(output, table, rowsByName(table), heading, &error)) {
        say(error);
        return Failure;
    }
    say(u8("Scritto il rapporto di %1 alunni dell'archivio «%2» nel file «%3».")
            .arg(rows->size())
            .arg(native(path), native(output)));
    return Success;
}

// The command, read before the application exists: the first argument that is
// neither an option nor the value of an option that takes one.
QByteArray commandWord(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-o" || a == "--output" || a == "--cartella")
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
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(output);
    parser.addOption(sheet);
    parser.addOption(folder);
    parser.addOption(system);
    parser.addPositionalArgument(u8("comando"), u8("crea, esporta, rapporto, verifica o configura"));

    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            return usageError(u8("opzione sconosciuta «%1%2»").arg(name.size() == 1 ? u8("-") : u8("--"), name));
        }
        const QString missing = parser.errorText().contains(u8("cartella")) ? u8("--cartella") : u8("-o");
        return usageError(u8("all'opzione «%1» manca il valore").arg(missing));
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
        return usageError(u8("manca il comando (crea, esporta, rapporto, verifica o configura)"));
    const QString command = args.takeFirst();
    if (args.size() > 1)
        return usageError(u8("troppi argomenti per «%1»").arg(command));
    if (parser.isSet(output) && command != u8("esporta") && command != u8("rapporto"))
        return usageError(u8("l'opzione «-o» vale solo per «esporta» e «rapporto»"));
    if (parser.isSet(sheet) && command != u8("esporta"))
        return usageError(u8("l'opzione «--foglio» vale solo per «esporta»"));
    if ((parser.isSet(folder) || parser.isSet(system)) && command != u8("configura"))
        return usageError(u8("le opzioni «--cartella» e «--sistema» valgono solo per «configura»"));

    if (command == u8("crea"))
        return crea(args);
    if (command == u8("esporta"))
        return esporta(args, parser.value(output), parser.isSet(sheet));
    if (command == u8("rapporto")) {
        if (parser.value(output).isEmpty())
            return usageError(u8("«rapporto» vuole il file PDF da scrivere: -o FILE.pdf"));
        return rapporto(args, parser.value(output));
    }
    if (command == u8("verifica"))
        return verifica(args);
    if (command == u8("configura")) {
        if (!args.isEmpty())
            return usageError(u8("«configura» non vuole argomenti, solo le opzioni"));
        if (!parser.isSet(folder))
            return usageError(u8("a «configura» manca l'opzione «--cartella CARTELLA»"));
        return configura(parser.value(folder), parser.isSet(system));
    }
    return usageError(u8("comando sconosciuto «%1»").arg(command));
}
