#include "archive/namelistmodel.h"

#include "store/resultsstore.h"

NameListModel::NameListModel(ResultsStore &store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
{
}

bool NameListModel::reload()
{
    beginResetModel();
    m_names.clear();
    m_lastRow = 0;
    m_atEnd = true;
    const std::optional<ResultsStore::NamePage> page = m_store.listNames(0, PageRows);
    if (page) {
        m_names = page->names;
        m_lastRow = page->lastRow;
        m_atEnd = page->atEnd;
    }
    endResetModel();
    return page.has_value();
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_names.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return m_names.at(index.row());
    return {};
}

bool NameListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void NameListModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_atEnd)
        return;
    // A page of rows may hold no name at all (rows without one): read on
    // until a name turns up or the table ends.
    QStringList names;
    while (names.isEmpty() && !m_atEnd) {
        const std::optional<ResultsStore::NamePage> page = m_store.listNames(m_lastRow, PageRows);
        if (!page) {
            m_atEnd = true;
            emit fetchFailed(m_store.lastError().message);
            return;
        }
        names = page->names;
        m_lastRow = page->lastRow;
        m_atEnd = page->atEnd;
    }
    if (names.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_names.size()), int(m_names.size() + names.size() - 1));
    m_names += names;
    endInsertRows();
}
