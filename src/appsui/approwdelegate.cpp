#include "appsui/approwdelegate.h"

#include "lists/filelistmodel.h"
#include "widgets/rowpainting.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

const QColor kMaroon(0x80, 0, 0);

} // namespace

QSize AppRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), packageRowHeight(option));
}

void AppRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const int row = index.row();
    const ListItem item = index.data(FileListModel::ItemRole).value<ListItem>();
    const QString size = item.sizeText.isEmpty() ? QStringLiteral("?") : formatSize(item.sizeText);
    paintPackageRow(painter, opt, row >= 0 && row < m_icons.size() ? m_icons.at(row) : genericIcon(),
                    {displayLabel(item),
                     item.isProtected ? kMaroon : QColor(Qt::black),
                     {QStringLiteral("File name: ") + displayName(item),
                      QStringLiteral("Date: ") + displayStamp(item.stamp) + QStringLiteral("   File size: ") + size}});
}

QPixmap AppRowDelegate::genericIcon()
{
    static const QPixmap icon = [] {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(164, 198, 57));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        // A robot's head: a dome with two antennae and two eyes.
        p.setBrush(Qt::white);
        p.drawChord(QRectF(7, 9, 18, 18), 0, 180 * 16);
        p.drawRect(QRectF(7, 18, 18, 7));
        p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 10), QPointF(9, 6));
        p.drawLine(QPointF(21, 10), QPointF(23, 6));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(164, 198, 57));
        p.drawEllipse(QPointF(12.5, 14.5), 1.6, 1.6);
        p.drawEllipse(QPointF(19.5, 14.5), 1.6, 1.6);
        return pixmap;
    }();
    return icon;
}
