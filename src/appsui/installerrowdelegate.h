#pragma once

#include "apps/installerfolder.h"

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

// Draws a row of the installer's list: check box, 32 x 32 icon, "Label v Version" in black and two
// grey lines "File name: ..." and "File size: ...".
class InstallerRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Row i of the list is rows[i] with icons[i]; rows past the icons' end get the generic image.
    void setRows(QList<InstallerRow> rows, QList<QPixmap> icons);

private:
    QList<InstallerRow> m_rows;
    QList<QPixmap> m_icons;
};
