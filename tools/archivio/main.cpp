// nozioli-archivio: creates, exports and checks the results archive "nozioli.mdb".
#include "store/resultsstore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>
#include <cstdio>

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
    "Crea, esporta e verifica l'archivio dei risultati di Nozioli («nozioli.mdb»).\n"
    "\n"
    "Comandi:\n"
    "  crea [CARTELLA]                  crea un archivio vuoto «nozioli.mdb» nella cartella\n"
    "                                   (quella corrente se non è indicata); un file già\n"
    "                                   presente non viene mai sostituito\n"
    "  esporta [ARCHIVIO] [-o FILE.csv] scrive tutte le righe dell'archivio in formato CSV\n"
    "                                   (UTF-8, con la riga dei nomi dei campi) nel file\n"
    "                                   indicato o sullo standard output\n"
    "  verifica [ARCHIVIO]              controlla struttura, versione e integrità\n"
    "                                   dell'archivio e dice che cosa non va\n"
    "\n"
    "ARCHIVIO, se non è indicato, è «nozioli.mdb» nella cartella corrente.\n"
    "\n"
    "Opzioni:\n"
    "  -o, --output FILE.csv   (solo con esporta) il file CSV da scrivere\n"
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

QString archiveArgument(const QStringList &args)
{
    return QFileInfo(args.isEmpty() ? ResultsStore::defaultFileName() : args.first()).absoluteFilePath();
}

int crea(const QStringList &args)
{
    const QString folder = args.isEmpty() ? QDir::currentPath() : args.first();
    const QString path = QDir(folder).absoluteFilePath(ResultsStore::defaultFileName());
    StoreError error;
    if (!ResultsStore::create(path, &error)) {
        say(error.message);
        return Failure;
    }
    say(u8("Creato l'archivio dei risultati vuoto «%1».").arg(native(path)));
    return Success;
}

// One CSV field (RFC 4180): quoted when it holds a separator, a quote or a line end.
QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u8("\""), u8("\"\""));
    return u'"' + quoted + u'"';
}

// Names are typed by the pupils: one that a spreadsheet would read as a formula
// gets a leading apostrophe, so that it is shown as text.
QString csvName(const QString &name)
{
    static const QString formulaStarts = u8("=+-@\t\r");
    if (!name.isEmpty() && formulaStarts.contains(name.front()))
        return csvField(u'\'' + name);
    return csvField(name);
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
            csvName(r.nome),
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

int esporta(const QStringList &args, const QString &output)
{
    const QString path = archiveArgument(args);
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
        ResultsStore store;
        std::optional<QList<ResultRecord>> rows;
        if (store.open(path))
            rows = store.records();
        if (!rows) {
            say(store.lastError().message);
            return Failure;
        }
        data = csv(*rows);
        count = rows->size();
    }
    if (output.isEmpty() || output == u8("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(data) != data.size() || !out.flush()) {
            say(u8("Impossibile scrivere sullo standard output: %1").arg(out.errorString()));
            return Failure;
        }
        return Success;
    }
    QSaveFile out(output);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        say(u8("Impossibile scrivere il file CSV «%1»: %2").arg(native(output), out.errorString()));
        return Failure;
    }
    say(u8("Esportate %1 righe dell'archivio «%2» nel file «%3».").arg(count).arg(native(path), native(output)));
    return Success;
}

int verifica(const QStringList &args)
{
    const QString path = archiveArgument(args);
    ArchiveFacts facts;
    const QStringList problems = ResultsStore::verify(path, &facts);
    if (problems.isEmpty()) {
        // And the program itself opens it and reads every row.
        ResultsStore store;
        std::optional<QList<ResultRecord>> rows;
        if (store.open(path))
            rows = store.records();
        if (!rows) {
            say(store.lastError().message);
            return Failure;
        }
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u8("nozioli-archivio"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(NOZIOLI_VERSION));

    QCommandLineParser parser;
    const QCommandLineOption help({u8("h"), u8("help")}, u8("Mostra questo aiuto."));
    const QCommandLineOption version({u8("v"), u8("version")}, u8("Mostra la versione."));
    const QCommandLineOption output({u8("o"), u8("output")}, u8("Il file CSV da scrivere."), u8("FILE.csv"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(output);
    parser.addPositionalArgument(u8("comando"), u8("crea, esporta o verifica"));

    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            return usageError(u8("opzione sconosciuta «%1%2»").arg(name.size() == 1 ? u8("-") : u8("--"), name));
        }
        return usageError(u8("all'opzione «-o» manca il nome del file"));
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
        return usageError(u8("manca il comando (crea, esporta o verifica)"));
    const QString command = args.takeFirst();
    if (args.size() > 1)
        return usageError(u8("troppi argomenti per «%1»").arg(command));
    if (parser.isSet(output) && command != u8("esporta"))
        return usageError(u8("l'opzione «-o» vale solo per «esporta»"));

    if (command == u8("crea"))
        return crea(args);
    if (command == u8("esporta"))
        return esporta(args, parser.value(output));
    if (command == u8("verifica"))
        return verifica(args);
    return usageError(u8("comando sconosciuto «%1»").arg(command));
}
