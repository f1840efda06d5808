#include "result_model.h"

ResultModel::ResultModel(const QStringList& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const QStringList& row = m_rows.at(index.row());
    return index.column() < row.size() ? row.at(index.column()) : QString();
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section < m_columns.size() ? m_columns.at(section) : QVariant();
}

bool ResultModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !m_atEnd; }

void ResultModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || m_atEnd || m_pending) return;
    m_pending = true;
    emit moreWanted();
}

void ResultModel::AppendRows(const QList<QStringList>& rows, bool atEnd, bool cut) {
    if (!rows.isEmpty()) {
        const int first = static_cast<int>(m_rows.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
        m_rows.append(rows);
        endInsertRows();
    }
    m_atEnd = m_atEnd || atEnd;
    m_cut = m_cut || cut;
    m_pending = false;
}
