#include "widgets/filerowdelegate.h"

#include "widgets/fileicons.h"
#include "lists/filelistmodel.h"
#include "widgets/rowpainting.h"

#include <QPainter>

FileRowDelegate::FileRowDelegate(Pane pane, QObject *parent) : QStyledItemDelegate(parent), m_pane(pane) {}

void FileRowDelegate::setApkDetails(bool on, QList<QPixmap> icons)
{
    m_apkDetails = on;
    m_apkIcons = std::move(icons);
}

QSize FileRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 28);
}

void FileRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);

    painter->save();
    painter->fillRect(option.rect, Qt::white);
    const QRect checkRect = paintRowCheck(painter, opt);

    QRect rect = option.rect;
    rect.setLeft(checkRect.right() + 3);
    if (option.state & QStyle::State_Selected)
        painter->fillRect(QRect(rect.left() + 27, rect.top(), rect.width() - 27, rect.height()), kRowHighlight);

    const ListItem item = index.data(FileListModel::ItemRole).value<ListItem>();
    const QString &name = itemName(item);
    const int left = rect.left();
    const int top = rect.top();
    const QRect firstLine(left + 29, top, rect.width() - 31, 16);
    const QRect secondLine(left + 29, top + 15, rect.width() - 31, 13);
    QFont small = option.font;
    small.setPointSize(7);

    const bool isDir = isFolder(item);
    const int iconIndex = iconIndexFor(item);
    const bool apkDetails = m_pane == Pane::Pc && m_apkDetails;
    if (apkDetails && iconIndex == IconApk && index.row() < m_apkIcons.size())
        painter->drawPixmap(left + 2, top + 2, m_apkIcons.at(index.row()));
    else
        painter->drawPixmap(left + 2, top + 2, fileIcons().at(iconIndex));
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QString title = isDir ? displayName(item) : displayLabel(item);
    painter->drawText(firstLine, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(title, Qt::ElideMiddle, firstLine.width()));
    painter->setFont(small);
    painter->setPen(kRowGrey);
    QString details;
    if (m_pane == Pane::Device) {
        details = QStringLiteral("Date: ") + displayStamp(itemStamp(item));
        if (!isDir)
            details += QStringLiteral("   File size: ") + formatSize(itemSize(item));
    } else {
        if (isDir)
            details = QStringLiteral("Directory");
        else if (apkDetails && isApkFileName(name))
            details = QStringLiteral("File name: ") + name;
        else
            details = QStringLiteral("File size: ") + formatSize(itemSize(item));
    }
    painter->drawText(secondLine, Qt::AlignLeft | Qt::AlignVCenter, details);
    painter->restore();
}
