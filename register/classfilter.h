#pragma once

#include <QList>
#include <QSortFilterProxyModel>
#include <QString>

class ClassTableModel;

// The class table as the teacher sees it: sorted on any column (names in
// Italian alphabetical order) and narrowed to the names that hold the search,
// ignoring case and accents. Sorts and searches on keys the model worked out
// when it read the archive, so that it stays quick with tens of thousands of
// rows. Until sort() is called it shows the table's own order, which is
// already alphabetical: the register starts without sorting at all.
class ClassFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ClassFilterModel(ClassTableModel *table, QObject *parent = nullptr);

    ClassTableModel *table() const { return m_table; }

    void setSearchText(const QString &text);
    QString searchText() const { return m_search; }

    // The rows of the table shown, in the order shown.
    QList<int> shownRows() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    ClassTableModel *m_table;
    QString m_search;
    QString m_key;
};
