#include "resultsstore.h"

struct ResultsStore::Private
{
};

ResultsStore::ResultsStore() : d(new Private) {}
ResultsStore::~ResultsStore() { delete d; }
bool ResultsStore::open(const QString &) { return false; }
void ResultsStore::close() {}
bool ResultsStore::isOpen() const { return false; }
QString ResultsStore::filePath() const { return {}; }
std::optional<QStringList> ResultsStore::listNames() { return std::nullopt; }
ResultsStore::Lookup ResultsStore::find(const QString &, ResultRecord *) { return Lookup::Failed; }
bool ResultsStore::save(const QString &, const ArchiveTotals &, const QDateTime &) { return false; }
bool ResultsStore::create(const QString &, StoreError *) { return false; }
QString ResultsStore::foldName(const QString &name) { return name; }
