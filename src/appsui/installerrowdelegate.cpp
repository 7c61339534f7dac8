#include "appsui/installerrowdelegate.h"

#include "apps/approwdelegate.h"
#include "lists/listitem.h"
#include "lists/rowpainting.h"

#include <QFontMetrics>
#include <QPainter>

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

void InstallerRowDelegate::setRows(QList<InstallerRow> rows, QList<QPixmap> icons)
{
    m_rows = std::move(rows);
    m_icons = std::move(icons);
}

QSize InstallerRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int lines = QFontMetrics(option.font).height() + 2 * QFontMetrics(detailFont(option.font)).height() + 2;
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), qMax(kRowHeight, lines));
}

void InstallerRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return;
    const InstallerRow &item = m_rows.at(row);
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
    painter->drawPixmap(left + 2, top + 3, row < m_icons.size() ? m_icons.at(row) : AppRowDelegate::genericIcon());

    const int textLeft = left + kIconColumn + 2;
    const int textWidth = right - textLeft - 2;
    const QFont small = detailFont(option.font);
    const int labelHeight = QFontMetrics(option.font).height();
    const int smallHeight = QFontMetrics(small).height();

    painter->setFont(option.font);
    painter->setPen(Qt::black);
    const QRect labelLine(textLeft, top + 1, textWidth, labelHeight);
    const QString label = EscapeControls(item.Label) + QStringLiteral(" v ") + EscapeControls(item.Version);
    painter->drawText(labelLine, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(label, Qt::ElideMiddle, textWidth));

    painter->setFont(small);
    painter->setPen(kRowGrey);
    const QStringList details{
        QStringLiteral("File name: ") + EscapeControls(item.FileName),
        QStringLiteral("File size: ") + FormatSizeKB(QString::number(item.SizeKB)),
    };
    int lineTop = labelLine.bottom() + 1;
    for (const QString &text : details) {
        painter->drawText(QRect(textLeft, lineTop, textWidth, smallHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(text, Qt::ElideMiddle, textWidth));
        lineTop += smallHeight;
    }
    painter->restore();
}
