#include "lists/rowpainting.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionViewItem>

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
