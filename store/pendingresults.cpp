#include "store/pendingresults.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString dateKey = QStringLiteral("data");
const QString nameKey = QStringLiteral("nome");

QJsonObject toJson(const PendingResults::Record &r)
{
    QJsonObject o;
    o.insert(nameKey, r.nome);
    o.insert(dateKey, r.data.toString(Qt::ISODateWithMs));
    for (const TotalField &f : totalFields)
        o.insert(QLatin1String(f.name), double(r.totals.*f.archived));
    return o;
}

std::optional<PendingResults::Record> fromJson(const QJsonObject &o)
{
    PendingResults::Record r;
    r.nome = o.value(nameKey).toString();
    r.data = QDateTime::fromString(o.value(dateKey).toString(), Qt::ISODateWithMs);
    if (r.nome.isEmpty() || !r.data.isValid())
        return std::nullopt;
    for (const TotalField &f : totalFields) {
        const QJsonValue v = o.value(QLatin1String(f.name));
        if (!v.isDouble() || v.toDouble() < 0)
            return std::nullopt;
        r.totals.*f.archived = qint64(v.toDouble());
    }
    return r;
}

} // namespace

QString PendingResults::defaultFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("risultati-in-sospeso.json"));
}

PendingResults::PendingResults(const QString &filePath)
    : m_path(filePath)
{
}

bool PendingResults::isEmpty() const
{
    return !QFileInfo::exists(m_path);
}

std::optional<QList<PendingResults::Record>> PendingResults::load() const
{
    QFile file(m_path);
    if (!file.exists())
        return QList<Record>();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<Record> records;
    for (const QJsonValue &v : doc.array()) {
        const std::optional<Record> r = fromJson(v.toObject());
        if (!r)
            return std::nullopt;
        records << *r;
    }
    return records;
}

bool PendingResults::save(const QList<Record> &records)
{
    m_error.clear();
    if (records.isEmpty()) {
        if (QFile::exists(m_path) && !QFile::remove(m_path)) {
            m_error = QStringLiteral("il file «%1» non si può cancellare").arg(QDir::toNativeSeparators(m_path));
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        m_error = QStringLiteral("la cartella «%1» non si può creare")
                      .arg(QDir::toNativeSeparators(QFileInfo(m_path).absolutePath()));
        return false;
    }
    QJsonArray array;
    for (const Record &r : records)
        array.append(toJson(r));
    QSaveFile file(m_path);
    const QByteArray bytes = QJsonDocument(array).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        m_error = QStringLiteral("il file «%1» non si può scrivere (%2)")
                      .arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    return true;
}

bool PendingResults::add(const Record &record)
{
    std::optional<QList<Record>> records = load();
    if (!records) {
        m_error = QStringLiteral("il file «%1» non si può leggere").arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    const QString key = ResultsStore::foldName(record.nome);
    for (qsizetype i = 0; i < records->size(); ++i) {
        if (ResultsStore::foldName(records->at(i).nome) != key)
            continue;
        if (records->at(i).data > record.data)
            return true;        // a newer record of the same name stays
        records->removeAt(i);
        break;
    }
    records->append(record);
    return save(*records);
}

int PendingResults::applyTo(ResultsStore &store)
{
    m_error.clear();
    std::optional<QList<Record>> records = load();
    if (!records) {
        m_error = QStringLiteral("il file «%1» non si può leggere").arg(QDir::toNativeSeparators(m_path));
        return 0;
    }
    int written = 0;
    while (!records->isEmpty()) {
        const Record &r = records->first();
        if (!store.saveIfNewer(r.nome, r.totals, r.data)) {
            m_error = store.lastError().message;
            return written;
        }
        records->removeFirst();
        if (!save(*records))
            return written;     // the record stays kept; applying it again changes nothing
        ++written;
    }
    return written;
}
