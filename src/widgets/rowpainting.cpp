#include "widgets/rowpainting.h"

#include "lists/imagescale.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionViewItem>

namespace {

constexpr int kRowHeight = 38;
constexpr int kIconColumn = 35;

QFont detailFont(const QFont &listFont)
{
    QFont small = listFont;
    small.setPointSize(7);
    return small;
}

} // namespace

QRect paintRowCheck(QPainter *painter, const QStyleOptionViewItem &option)
{
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    QStyleOptionViewItem check = option;
    check.rect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
    check.state = check.state & ~QStyle::State_HasFocus;
    check.state |= option.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);
    return check.rect;
}

int packageRowHeight(const QStyleOptionViewItem &option, int detailLines)
{
    const int lines =
        QFontMetrics(option.font).height() + detailLines * QFontMetrics(detailFont(option.font)).height() + 2;
    return qMax(kRowHeight, lines);
}

void paintPackageRow(QPainter *painter, const QStyleOptionViewItem &option, const QPixmap &icon,
                     const PackageRowText &text)
{
    painter->save();
    painter->fillRect(option.rect, Qt::white);
    const QRect checkRect = paintRowCheck(painter, option);
    const int left = checkRect.right() + 3;
    const int top = option.rect.top();
    const int right = option.rect.right();
    if (option.state & QStyle::State_Selected)
        painter->fillRect(QRect(QPoint(left + kIconColumn, top), QPoint(right, option.rect.bottom())), kRowHighlight);
    painter->drawPixmap(left + 2, top + 3, icon);

    const int textLeft = left + kIconColumn + 2;
    const int textWidth = right - textLeft - 2;
    const QFont small = detailFont(option.font);
    painter->setFont(option.font);
    painter->setPen(text.labelColour);
    const QRect labelLine(textLeft, top + 1, textWidth, QFontMetrics(option.font).height());
    painter->drawText(labelLine, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(text.label, Qt::ElideMiddle, textWidth));

    painter->setFont(small);
    painter->setPen(kRowGrey);
    const int smallHeight = QFontMetrics(small).height();
    int lineTop = labelLine.bottom() + 1;
    for (const QString &line : text.details) {
        painter->drawText(QRect(textLeft, lineTop, textWidth, smallHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(line, Qt::ElideMiddle, textWidth));
        lineTop += smallHeight;
    }
    painter->restore();
}

QPixmap RowIconCache::icon(const QString &file, const QPixmap &fallback)
{
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists())
        return fallback;
    Entry &entry = m_entries[file];
    if (entry.modified != info.lastModified() || entry.size != info.size()) {
        const QImage image = loadRowIcon(file);
        entry = {info.lastModified(), info.size(), image.isNull() ? QPixmap() : QPixmap::fromImage(image)};
    }
    return entry.pixmap.isNull() ? fallback : entry.pixmap;
}
