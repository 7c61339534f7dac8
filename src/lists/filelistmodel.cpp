#include "lists/filelistmodel.h"

#include <QMimeData>

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ListItem &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayLabel(row);
    case Qt::CheckStateRole:
        return m_checks.at(index.row()) ? Qt::Checked : Qt::Unchecked;
    case ItemRole:
        return QVariant::fromValue(row);
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || index.row() >= m_rows.size())
        return false;
    m_checks[index.row()] = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit checkClicked(index.row());
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled;
}

void FileListModel::setRows(QList<ListItem> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_checks = QList<bool>(m_rows.size(), false);
    endResetModel();
}

void FileListModel::updateItem(int row, const ListItem &item)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = item;
    emit dataChanged(index(row), index(row));
}

void FileListModel::setChecks(const QList<bool> &checks)
{
    if (checks.size() != m_rows.size())
        return;
    m_checks = checks;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {Qt::CheckStateRole});
}

void FileListModel::toggleCheck(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_checks[row] = !m_checks[row];
    emit dataChanged(index(row), index(row), {Qt::CheckStateRole});
}

QList<int> FileListModel::checkedRows() const
{
    QList<int> result;
    for (int i = 0; i < m_checks.size(); ++i) {
        if (m_checks.at(i))
            result << i;
    }
    return result;
}

QStringList FileListModel::mimeTypes() const
{
    return {rowMimeType()};
}

QMimeData *FileListModel::mimeData(const QModelIndexList &indexes) const
{
    auto *data = new QMimeData;
    const int row = indexes.isEmpty() ? -1 : indexes.first().row();
    data->setData(rowMimeType(), row >= 0 && row < m_rows.size() ? m_rows.at(row).name.toUtf8() : QByteArray());
    return data;
}
