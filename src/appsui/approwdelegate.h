#pragma once

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

struct ListItem;

// Draws a row of the applications list: check box, 32 x 32 icon, the label (maroon for a protected
// application), and three grey lines: package and version; dates and size; the APK's path.
class AppRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The row's tooltip: why it is maroon, and the whole path.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The first line of a row, its grey lines, and its tooltip.
    static QString title(const ListItem &item);
    static QStringList detailLines(const ListItem &item);
    static QString toolTip(const ListItem &item);

    // Image i belongs to row i; rows past the end get the generic image.
    void setIcons(QList<QPixmap> icons) { m_icons = std::move(icons); }
    const QList<QPixmap> &icons() const { return m_icons; }
    static QPixmap genericIcon();

private:
    QList<QPixmap> m_icons;
};
