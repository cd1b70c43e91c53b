#pragma once

#include <QAbstractListModel>
#include <QStringList>

class ResultsStore;

// The archived names for the pupil window's list, read page by page as the
// list needs them (canFetchMore/fetchMore), in the order the rows were added,
// so that showing the window costs the same however large the archive is.
class NameListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int PageRows = 256;

    explicit NameListModel(ResultsStore &store, QObject *parent = nullptr);

    // Reads the first page afresh. False (and the store's lastError) when the
    // archive cannot be read.
    bool reload();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // A later page could not be read; the list stops growing until reload().
    void fetchFailed(const QString &message);

private:
    ResultsStore &m_store;
    QStringList m_names;
    qint64 m_lastRow = 0;
    bool m_atEnd = true;
};
