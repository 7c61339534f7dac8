#pragma once

#include <QStyledItemDelegate>

// Draws a row of a file list: check box, icon, name, and a grey second line with date and size.
class FileRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Pane { Device, Pc };

    explicit FileRowDelegate(Pane pane, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    Pane m_pane;
};
