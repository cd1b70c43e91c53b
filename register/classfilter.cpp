#include "register/classfilter.h"

#include "register/classtable.h"

ClassFilterModel::ClassFilterModel(ClassTableModel *table, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_table(table)
{
    setSourceModel(table);
    setDynamicSortFilter(true);
}

void ClassFilterModel::setSearchText(const QString &text)
{
    const QString key = ClassTableModel::searchKey(text);
    m_search = text;
    if (key == m_key)
        return;
    m_key = key;
    invalidateFilter();
}

QList<int> ClassFilterModel::shownRows() const
{
    QList<int> rows;
    const int count = rowCount();
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows << mapToSource(index(i, 0)).row();
    return rows;
}

bool ClassFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    return m_key.isEmpty() || m_table->pupil(sourceRow).searchKey.contains(m_key);
}

bool ClassFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    return m_table->lessThan(left.row(), right.row(), left.column(), sortOrder());
}
