#pragma once

#include "lists/listitem.h"

#include <QAbstractListModel>
#include <QList>

// The rows of one of the main window's lists, with their check marks. A refill resets the model once.
class FileListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { ItemRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    // A row dragged between the program's lists; the drop reads the source list's current row.
    static QString rowMimeType() { return QStringLiteral("application/x-velbrook-row"); }

    void setRows(QList<ListItem> rows);
    const QList<ListItem> &rows() const { return m_rows; }
    const ListItem &item(int row) const { return m_rows.at(row); }
    // Replaces one row in place: its check mark, the current row and the scroll position stay.
    void updateItem(int row, const ListItem &item);

    const QList<bool> &checks() const { return m_checks; }
    void setChecks(const QList<bool> &checks);
    bool isChecked(int row) const { return m_checks.value(row); }
    // Flips one mark without counting it as the user's click on the box.
    void toggleCheck(int row);
    QList<int> checkedRows() const;

signals:
    // The user clicked a row's check box.
    void checkClicked(int row);

private:
    QList<ListItem> m_rows;
    QList<bool> m_checks;
};

Q_DECLARE_METATYPE(ListItem)
