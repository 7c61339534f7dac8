#pragma once

#include <QColor>
#include <QRect>

class QPainter;
class QStyleOptionViewItem;

// What the list delegates share: the colours of a row and its check box.
inline const QColor kRowHighlight(0xC0, 0xDC, 0xC0);
inline const QColor kRowGrey(0x80, 0x80, 0x80);

// Draws the check box of a row (option prepared by initStyleOption) where the style places it,
// without the focus frame; returns its rectangle.
QRect paintRowCheck(QPainter *painter, const QStyleOptionViewItem &option);
