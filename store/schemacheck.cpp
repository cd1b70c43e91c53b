#include "store/schemacheck.h"

#include "store/resultsstore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

const char *const schemacheck::statements[2] = {
    "CREATE TABLE nozioli ("
    " nome TEXT,"
    " data TEXT,"
    " sovragiusti REAL,"
    " sovrasbagliati REAL,"
    " nozioligiusti REAL,"
    " noziolisbagliati REAL,"
    " spaziotempogiusti REAL,"
    " spaziotemposbagliati REAL,"
    " chiave TEXT)",
    "CREATE UNIQUE INDEX nome ON nozioli(chiave)",
};

namespace {

using schemacheck::Layout;

QString q(const char *text) { return QString::fromUtf8(text); }

// One token of SQL text, for comparing statements: words lower-cased, quoted
// names unquoted, string literals kept with their quote; spacing and comments
// dropped.
struct Token
{
    QString text;
    bool word = false;          // a bare word: a keyword or an unquoted name
};

QList<Token> sqlTokens(const QString &sql)
{
    QList<Token> out;
    const qsizetype n = sql.size();
    const auto wordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80; };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u'"' || c == u'`' || c == u'[' || c == u'\'') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            QString text;
            for (++i; i < n; ++i) {
                if (sql.at(i) != close) {
                    text += sql.at(i);
                } else if (close != u']' && i + 1 < n && sql.at(i + 1) == close) {
                    text += close;      // a doubled quote stands for one
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            out.append({c == u'\'' ? u'\'' + text : text.toLower(), false});
        } else if (wordChar(c)) {
            qsizetype j = i;
            while (j < n && wordChar(sql.at(j)))
                ++j;
            out.append({sql.mid(i, j - i).toLower(), true});
            i = j;
        } else {
            out.append({QString(c), false});
            ++i;
        }
    }
    return out;
}

bool sameStatement(const QString &a, const QString &b)
{
    const QList<Token> x = sqlTokens(a), y = sqlTokens(b);
    return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                      [](const Token &s, const Token &t) { return s.text == t.text; });
}

struct Column
{
    QString name;
    QString type;
};

// The columns of the table as create() makes them, read from its statement:
// CREATE TABLE nozioli ( name type , name type , … ).
const QList<Column> &programColumns()
{
    static const QList<Column> columns = [] {
        const QList<Token> t = sqlTokens(QString::fromLatin1(schemacheck::statements[0]));
        QList<Column> list;
        for (qsizetype i = 4; i + 1 < t.size(); i += 3)
            list.append({t.at(i).text, t.at(i + 1).text});
        return list;
    }();
    return columns;
}

bool sameName(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// An entry of the schema that the program does not create.
QString foreignEntry(const QString &type, const QString &name)
{
    if (type == u"trigger")
        return q("ha il trigger «%1», codice che il programma non crea e non esegue").arg(name);
    if (type == u"view")
        return q("ha la vista «%1», che il programma non crea").arg(name);
    if (type == u"table")
        return q("ha la tabella «%1», che il programma non crea").arg(name);
    if (type == u"index")
        return q("ha l'indice «%1», che il programma non crea").arg(name);
    return q("ha «%1» (%2), che il programma non crea").arg(name, type);
}

// The columns of "nozioli" one by one, and the clauses of its statement.
bool inspectTable(QSqlQuery &query, const QString &sql, Layout &l)
{
    const QList<Token> tokens = sqlTokens(sql);
    if (tokens.size() > 1 && tokens.at(1).text == u"virtual") {
        l.problems << q("la tabella «nozioli» è una tabella virtuale, che il programma non crea");
        return true;
    }
    if (!query.exec(QStringLiteral("PRAGMA table_xinfo(nozioli)")))
        return false;
    const QList<Column> &wanted = programColumns();
    QStringList seen;
    bool extra = false, computed = false;
    while (query.next()) {
        const QString name = query.value(1).toString();
        const QString type = query.value(2).toString();
        const bool notNull = query.value(3).toInt() != 0;
        const bool hasDefault = !query.value(4).isNull();
        const auto it = std::find_if(wanted.begin(), wanted.end(),
                                     [&](const Column &c) { return c.name == name.toLower(); });
        if (it == wanted.end()) {
            extra = true;
            l.problems << (notNull && !hasDefault
                               ? q("la tabella «nozioli» ha il campo in più «%1», obbligatorio (NOT NULL) e senza "
                                   "valore predefinito: nessuna archiviazione può riuscire")
                               : q("la tabella «nozioli» ha il campo in più «%1», che il programma non crea"))
                              .arg(name);
            continue;
        }
        seen << it->name;
        if (query.value(6).toInt() != 0) {
            computed = true;
            l.problems << q("il campo «%1» è calcolato da un'espressione (GENERATED)").arg(name);
        }
        if (type.compare(it->type, Qt::CaseInsensitive) != 0)
            l.problems << q("il campo «%1» è di tipo «%2» invece di «%3»").arg(name, type, it->type.toUpper());
        if (notNull)
            l.problems << q("il campo «%1» è obbligatorio (NOT NULL)").arg(name);
        if (hasDefault)
            l.problems << q("il campo «%1» ha un valore predefinito (DEFAULT)").arg(name);
        if (query.value(5).toInt() != 0)
            l.problems << q("il campo «%1» è una chiave primaria (PRIMARY KEY)").arg(name);
    }
    if (query.lastError().isValid())
        return false;
    bool missing = false;
    for (const Column &c : wanted) {
        if (!seen.contains(c.name)) {
            missing = true;
            l.problems << q("la tabella «nozioli» non ha il campo «%1»").arg(c.name);
        }
    }
    if (!missing && !extra) {
        QStringList order;
        for (const Column &c : wanted)
            order << c.name;
        if (seen != order)
            l.problems << q("i campi della tabella «nozioli» sono in un ordine diverso da quello del programma");
    }
    l.rowsReadable = !missing && !computed;

    // Constraints and clauses that no pragma shows. WITHOUT ROWID and STRICT
    // come after the list of columns.
    const struct
    {
        const char *word;
        bool afterColumns;
        const char *problem;
    } clauses[] = {
        {"check", false, "la tabella «nozioli» ha un vincolo CHECK"},
        {"unique", false, "la tabella «nozioli» ha un vincolo UNIQUE"},
        {"references", false, "la tabella «nozioli» ha un riferimento a un'altra tabella (REFERENCES)"},
        {"collate", false, "la tabella «nozioli» ha un confronto dei testi (COLLATE) che il programma non usa"},
        {"conflict", false, "la tabella «nozioli» ha una clausola ON CONFLICT"},
        {"autoincrement", false, "la tabella «nozioli» ha un campo AUTOINCREMENT"},
        {"without", true, "la tabella «nozioli» è senza rowid (WITHOUT ROWID)"},
        {"strict", true, "la tabella «nozioli» è di tipo STRICT"},
    };
    qsizetype lastParenthesis = tokens.size();
    while (lastParenthesis > 0 && tokens.at(lastParenthesis - 1).text != u")")
        --lastParenthesis;
    for (const auto &c : clauses) {
        for (qsizetype i = c.afterColumns ? lastParenthesis : 0; i < tokens.size(); ++i) {
            if (tokens.at(i).word && tokens.at(i).text == QLatin1String(c.word)) {
                l.problems << q(c.problem);
                if (qstrcmp(c.word, "without") == 0)
                    l.rowsReadable = false;     // no rowid to keep the order of the rows by
                break;
            }
        }
    }
    return true;
}

// The index "nome" when its statement is not the program's.
bool inspectIndex(QSqlQuery &query, const QString &table, Layout &l)
{
    if (!sameName(table, "nozioli")) {
        l.problems << q("l'indice «nome» non è sulla tabella «nozioli»");
        return true;
    }
    bool unique = false, partial = false;
    if (!query.exec(QStringLiteral("PRAGMA index_list(nozioli)")))
        return false;
    while (query.next()) {
        if (sameName(query.value(1).toString(), "nome")) {
            unique = query.value(2).toInt() == 1;
            partial = query.value(4).toInt() == 1;
        }
    }
    QStringList keys;
    if (!query.exec(QStringLiteral("PRAGMA index_info(nome)")))
        return false;
    while (query.next())
        keys << query.value(2).toString().toLower();
    if (keys != QStringList{QStringLiteral("chiave")})
        l.problems << q("l'indice «nome» non è sul solo campo «chiave»");
    if (!unique || partial)
        l.problems << q("l'indice «nome» non impedisce le righe doppie dello stesso nome");
    return true;
}

} // namespace

namespace schemacheck {

Layout inspect(QSqlDatabase &db)
{
    Layout l;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto failed = [&] {
        l.failed = true;
        l.error = query.lastError();
        return l;
    };
    // The first read of the file: a file that is not an SQLite database fails here.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failed();
    l.version = query.value(0).toInt();

    // Only the table and its index belong in the schema, besides SQLite's own
    // entries (an automatic index, statistics), which hold no code.
    bool hasTable = false, hasIndex = false;
    QString tableSql, indexSql, indexTable;
    if (!query.exec(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid")))
        return failed();
    while (query.next()) {
        const QString type = query.value(0).toString();
        const QString name = query.value(1).toString();
        if (type == u"table" && sameName(name, "nozioli") && !hasTable) {
            hasTable = true;
            tableSql = query.value(3).toString();
        } else if (type == u"index" && sameName(name, "nome") && !hasIndex) {
            hasIndex = true;
            indexTable = query.value(2).toString();
            indexSql = query.value(3).toString();
        } else if (!((type == u"table" || type == u"index") && name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))) {
            l.problems << foreignEntry(type, name);
        }
    }
    if (query.lastError().isValid())
        return failed();

    if (!hasTable) {
        l.problems << q("non ha la tabella «nozioli»");
    } else if (sameStatement(tableSql, QString::fromLatin1(schemacheck::statements[0]))) {
        l.rowsReadable = true;
    } else {
        const qsizetype before = l.problems.size();
        if (!inspectTable(query, tableSql, l))
            return failed();
        if (l.problems.size() == before)
            l.problems << q("la tabella «nozioli» non è fatta come la crea il programma");
    }

    if (!hasIndex) {
        l.problems << q("non ha l'indice «nome»");
    } else if (!sameStatement(indexSql, QString::fromLatin1(schemacheck::statements[1]))) {
        const qsizetype before = l.problems.size();
        if (!inspectIndex(query, indexTable, l))
            return failed();
        if (l.problems.size() == before)
            l.problems << q("l'indice «nome» non è fatto come lo crea il programma");
    }

    if (l.version > ResultsStore::LayoutVersion)
        l.problems << q("è stato fatto da una versione più recente del programma (struttura %1)").arg(l.version);
    else if (l.version < 0)
        l.problems << q("registra una versione della struttura che non esiste (PRAGMA user_version è %1)").arg(l.version);
    return l;
}

std::optional<int> changeCounter(QSqlDatabase &db, QSqlError &error)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("PRAGMA schema_version")) && query.next())
        return query.value(0).toInt();
    error = query.lastError();
    return std::nullopt;
}

} // namespace schemacheck
