#pragma once

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

// Draws a row of the applications list: check box, 32 x 32 icon, the label (maroon for a protected
// application), and two grey lines "File name: ..." and "Date: ...   File size: ...".
class AppRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Image i belongs to row i; rows past the end get the generic image.
    void setIcons(QList<QPixmap> icons) { m_icons = std::move(icons); }
    const QList<QPixmap> &icons() const { return m_icons; }
    static QPixmap genericIcon();

private:
    QList<QPixmap> m_icons;
};
