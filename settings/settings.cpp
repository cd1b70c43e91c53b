#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QStandardPaths>

namespace settings {

namespace {

const QString archiveFolderKey = QStringLiteral("archivio/cartella");
const QString serverKey = QStringLiteral("archivio/server");
const QString fullScreenKey = QStringLiteral("finestra/schermo-intero");

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

QString inFolder(const QString &folder) { return QDir(folder).filePath(QStringLiteral("nozioli/") + fileName()); }

// The opening of every message about one setting.
QString aboutKey(const QString &file, const QString &key)
{
    const qsizetype slash = key.indexOf(u'/');
    return QString::fromUtf8("Nel file delle impostazioni di Nozioli «%1», la chiave «%2» del gruppo [%3]")
        .arg(native(file), key.mid(slash + 1), key.left(slash));
}

// A value with an unquoted comma reads as a list.
QString text(const QVariant &value)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
}

std::optional<bool> boolean(const QString &value)
{
    static const QStringList yes{QStringLiteral("true"), QStringLiteral("1"), QStringLiteral("sì"), QStringLiteral("si")};
    static const QStringList no{QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("no")};
    const QString v = value.trimmed().toLower();
    if (yes.contains(v))
        return true;
    if (no.contains(v))
        return false;
    return std::nullopt;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool readable(const QString &file, const QSettings &ini, QString *error)
{
    if (!QFileInfo(file).isReadable() || ini.status() == QSettings::AccessError)
        return fail(error, QString::fromUtf8("Il file delle impostazioni di Nozioli «%1» non si può leggere.\n\n"
                                             "Controlla i permessi del file, oppure toglilo.")
                               .arg(native(file)));
    if (ini.status() == QSettings::FormatError)
        return fail(error, QString::fromUtf8("Il file delle impostazioni di Nozioli «%1» non è scritto come "
                                             "dovrebbe: ogni riga è un gruppo tra parentesi quadre, come "
                                             "[archivio], oppure «chiave=valore».\n\nCorreggilo, oppure toglilo.")
                               .arg(native(file)));
    return true;
}

} // namespace

QString fileName()
{
    return QStringLiteral("nozioli.ini");
}

QStringList searchPaths()
{
    QStringList paths{QDir::current().absoluteFilePath(fileName())};
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        paths << inFolder(folder);
    paths.removeDuplicates();
    return paths;
}

QString userFile()
{
    return inFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString systemFile()
{
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders.removeAll(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    return inFolder(folders.isEmpty() ? QStringLiteral("/etc/xdg") : folders.first());
}

std::optional<Settings> load(QString *error)
{
    for (const QString &file : searchPaths()) {
        if (QFileInfo(file).isFile())
            return read(file, error);
    }
    return Settings{};
}

std::optional<Settings> read(const QString &file, QString *error)
{
    Settings s;
    s.file = QFileInfo(file).absoluteFilePath();
    const QSettings ini(s.file, QSettings::IniFormat);
    if (!readable(s.file, ini, error))
        return std::nullopt;

    // QSettings splits a value at a comma outside quotes.
    const auto splitAtComma = [&](const QString &key, const char *howToWrite) {
        const QVariant value = ini.value(key);
        if (value.typeId() != QMetaType::QStringList)
            return false;
        fail(error, aboutKey(s.file, key)
                 + QString::fromUtf8(" contiene una virgola fuori dalle virgolette: «%1».\n\n").arg(text(value))
                 + QString::fromUtf8(howToWrite).replace(QStringLiteral("%1"), text(value)));
        return true;
    };
    if (splitAtComma(archiveFolderKey, "Scrivi la cartella tra virgolette, per esempio:\n    cartella=\"%1\"")
        || splitAtComma(serverKey, "Scrivi l'indirizzo del server tra virgolette."))
        return std::nullopt;
    const QString folder = ini.value(archiveFolderKey).toString().trimmed();
    if (!folder.isEmpty()) {
        // A relative folder is taken from the folder of the settings file.
        const QFileInfo dir(QFileInfo(s.file).absoluteDir(), folder);
        if (!dir.isDir()) {
            fail(error, aboutKey(s.file, archiveFolderKey)
                     + QString::fromUtf8(" indica come cartella dell'archivio dei risultati «%1», che %2.\n\n"
                                         "Se è una cartella condivisa, controlla che sia collegata; altrimenti "
                                         "correggi la chiave con il comando\n"
                                         "    nozioli-archivio configura --cartella CARTELLA\n"
                                         "oppure togli la riga per usare l'archivio della cartella corrente.")
                           .arg(native(dir.absoluteFilePath()),
                                dir.exists() ? QString::fromUtf8("non è una cartella")
                                             : QString::fromUtf8("non esiste o non si può raggiungere")));
            return std::nullopt;
        }
        s.archiveFolder = QDir::cleanPath(dir.absoluteFilePath());
    }

    const QString server = ini.value(serverKey).toString().trimmed();
    if (!server.isEmpty()) {
        const bool postgres = server.startsWith(QLatin1String("postgresql://"))
            || server.startsWith(QLatin1String("postgres://"));
        if (!postgres) {
            fail(error, aboutKey(s.file, serverKey)
                     + QString::fromUtf8(" vale «%1», che non è l'indirizzo di un server PostgreSQL.\n\n"
                                         "Scrivi un indirizzo come\n"
                                         "    server=postgresql://alunni@server.scuola/nozioli?sslmode=verify-full\n"
                                         "oppure togli la riga per usare il file «nozioli.mdb».")
                           .arg(server));
            return std::nullopt;
        }
        // The settings file is readable by every user of the PC: no password
        // as user:password@ nor as a parameter of the query.
        const QString rest = server.mid(server.indexOf(QLatin1String("://")) + 3);
        const QString authority = rest.left(rest.indexOf(QRegularExpression(QStringLiteral("[/?]"))));
        const qsizetype at = authority.lastIndexOf(u'@');
        const bool inUser = at >= 0 && authority.left(at).contains(u':');
        const qsizetype query = rest.indexOf(u'?');
        const bool inQuery = query >= 0 && QUrlQuery(rest.mid(query + 1)).hasQueryItem(QStringLiteral("password"));
        if (inUser || inQuery) {
            fail(error, aboutKey(s.file, serverKey)
                     + QString::fromUtf8(" contiene una password: le password non vanno scritte nelle "
                                         "impostazioni, che ogni utente del PC può leggere.\n\n"
                                         "Togli la password dall'indirizzo e scrivila nel file delle password di "
                                         "PostgreSQL (~/.pgpass, o quello indicato con passfile= nell'indirizzo)."));
            return std::nullopt;
        }
        s.server = server;
    }

    const QString full = text(ini.value(fullScreenKey)).trimmed();
    if (!full.isEmpty()) {
        s.fullScreen = boolean(full);
        if (!s.fullScreen) {
            fail(error, aboutKey(s.file, fullScreenKey)
                     + QString::fromUtf8(" vale «%1», che non è né «true» né «false».\n\n"
                                         "Scrivi «schermo-intero=true» per mostrare la finestra degli esercizi a "
                                         "schermo intero, «schermo-intero=false» per mostrarla ingrandita, "
                                         "oppure togli la riga.")
                           .arg(full));
            return std::nullopt;
        }
    }
    return s;
}

bool fullScreen(const Settings &settings)
{
    return settings.fullScreen.value_or(false);
}

Settings withCommandLine(Settings settings, const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("--schermo-intero")))
        settings.fullScreen = true;
    return settings;
}

bool writeArchiveFolder(const QString &file, const QString &folder, QString *error)
{
    const QFileInfo dir(folder);
    if (!dir.isDir())
        return fail(error, QString::fromUtf8("La cartella «%1» %2: indica una cartella che esiste.")
                               .arg(native(folder), dir.exists() ? QString::fromUtf8("non è una cartella")
                                                                 : QString::fromUtf8("non esiste")));
    const QFileInfo target(file);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(error, QString::fromUtf8("Impossibile creare la cartella «%1» del file delle impostazioni.")
                               .arg(native(target.absolutePath())));
    QSettings ini(target.absoluteFilePath(), QSettings::IniFormat);
    if (target.exists() && !readable(target.absoluteFilePath(), ini, error))
        return false;
    ini.setValue(archiveFolderKey, QDir::cleanPath(dir.absoluteFilePath()));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        return fail(error, QString::fromUtf8("Impossibile scrivere il file delle impostazioni «%1»: "
                                             "controlla di avere il permesso di scrivere nella sua cartella.")
                               .arg(native(target.absoluteFilePath())));
    return true;
}

} // namespace settings
