#include "apps/approwdelegate.h"

#include "lists/filelistmodel.h"
#include "lists/rowpainting.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kRowHeight = 38;
// The icon column: 32 px image with a little margin, kept white when the row is selected.
constexpr int kIconColumn = 35;
const QColor kMaroon(0x80, 0, 0);

QFont detailFont(const QFont &listFont)
{
    QFont small = listFont;
    small.setPointSize(7);
    return small;
}

} // namespace

QSize AppRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Three lines: the label and two detail lines; a bigger font makes the row taller.
    const int lines = QFontMetrics(option.font).height() + 2 * QFontMetrics(detailFont(option.font)).height() + 2;
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), qMax(kRowHeight, lines));
}

void AppRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);

    painter->save();
    painter->fillRect(option.rect, Qt::white);
    const QRect checkRect = paintRowCheck(painter, opt);

    const int left = checkRect.right() + 3;
    const int top = option.rect.top();
    const int right = option.rect.right();
    if (option.state & QStyle::State_Selected)
        painter->fillRect(QRect(QPoint(left + kIconColumn, top), QPoint(right, option.rect.bottom())), kRowHighlight);

    const int row = index.row();
    painter->drawPixmap(left + 2, top + 3, row >= 0 && row < m_icons.size() ? m_icons.at(row) : genericIcon());

    const ListItem item = index.data(FileListModel::ItemRole).value<ListItem>();
    const int textLeft = left + kIconColumn + 2;
    const int textWidth = right - textLeft - 2;
    const QFont small = detailFont(option.font);
    const int labelHeight = QFontMetrics(option.font).height();
    const int smallHeight = QFontMetrics(small).height();

    painter->setFont(option.font);
    painter->setPen(item.Protected ? kMaroon : QColor(Qt::black));
    const QRect labelLine(textLeft, top + 1, textWidth, labelHeight);
    painter->drawText(labelLine, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(DisplayLabel(item), Qt::ElideMiddle, textWidth));

    painter->setFont(small);
    painter->setPen(kRowGrey);
    const QString size = item.SizeText.isEmpty() ? QStringLiteral("?") : FormatSize(item.SizeText);
    const QStringList details{
        QStringLiteral("File name: ") + DisplayName(item),
        QStringLiteral("Date: ") + DisplayStamp(item.Stamp) + QStringLiteral("   File size: ") + size,
    };
    int lineTop = labelLine.bottom() + 1;
    for (const QString &text : details) {
        painter->drawText(QRect(textLeft, lineTop, textWidth, smallHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(text, Qt::ElideMiddle, textWidth));
        lineTop += smallHeight;
    }
    painter->restore();
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
