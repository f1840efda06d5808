#pragma once
// One result set of the SQL console as a table model: rows arrive in batches from the worker as the grid
// scrolls to them (canFetchMore/fetchMore).

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

class ResultModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    ResultModel(const QStringList& columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    // Asks for the next batch once; the rows come later through AppendRows.
    void fetchMore(const QModelIndex& parent) override;

    void AppendRows(const QList<QStringList>& rows, bool atEnd, bool cut);
    bool AtEnd() const { return m_atEnd; }
    // Rows were left unread (a later statement followed, or the console stopped it).
    bool IsCut() const { return m_cut; }

  signals:
    void moreWanted();

  private:
    QStringList m_columns;
    QList<QStringList> m_rows;
    bool m_atEnd = false;
    bool m_cut = false;
    bool m_pending = true;  // the first batch is on its way
};
