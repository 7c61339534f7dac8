#include "appsui/installerrowdelegate.h"

#include "appsui/approwdelegate.h"
#include "lists/listitem.h"
#include "widgets/rowpainting.h"

#include <QFontMetrics>
#include <QPainter>

void InstallerRowDelegate::setRows(QList<InstallerRow> rows, QList<QPixmap> icons)
{
    m_rows = std::move(rows);
    m_icons = std::move(icons);
}

QSize InstallerRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), packageRowHeight(option));
}

void InstallerRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return;
    const InstallerRow &item = m_rows.at(row);
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    paintPackageRow(painter, opt, row < m_icons.size() ? m_icons.at(row) : AppRowDelegate::genericIcon(),
                    {escapeControls(item.label) + QStringLiteral(" v ") + escapeControls(item.version),
                     Qt::black,
                     {QStringLiteral("File name: ") + escapeControls(item.fileName),
                      QStringLiteral("File size: ") + formatSizeKb(QString::number(item.sizeKb))}});
}
