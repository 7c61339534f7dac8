#include "appsui/approwdelegate.h"

#include "apps/applisting.h"
#include "lists/filelistmodel.h"
#include "widgets/rowpainting.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kMaroon(0x80, 0, 0);

QString dateOf(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

} // namespace

QSize AppRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), packageRowHeight(option, 3));
}

QString AppRowDelegate::title(const ListItem &item)
{
    // Until its label is read, or when it has none, a package goes by its name.
    const bool noLabel = item.label.isEmpty() || item.label == item.name || item.label == appCatalogueKey(item);
    return noLabel && !item.facts.package.isEmpty() ? escapeControls(item.facts.package) : displayLabel(item);
}

QStringList AppRowDelegate::detailLines(const ListItem &item)
{
    const PackageFacts &facts = item.facts;
    QString package = facts.package.isEmpty() ? displayName(item) : facts.package;
    if (!facts.versionName.isEmpty() && !facts.versionCode.isEmpty())
        package += QStringLiteral("   version %1 (%2)").arg(facts.versionName, facts.versionCode);
    else if (!facts.versionName.isEmpty())
        package += QStringLiteral("   version ") + facts.versionName;
    else if (!facts.versionCode.isEmpty())
        package += QStringLiteral("   version code ") + facts.versionCode;

    QString dates = facts.updatedSecs > 0 ? QStringLiteral("Updated: ") + dateOf(facts.updatedSecs)
                                          : QStringLiteral("Date: ") + displayStamp(item.stamp);
    if (facts.installedSecs > 0 && facts.installedSecs != facts.updatedSecs)
        dates += QStringLiteral("   Installed: ") + dateOf(facts.installedSecs);
    QString size = QStringLiteral("Size: ") + (item.sizeText.isEmpty() || item.sizeText == QLatin1String("?")
                                                   ? QStringLiteral("?")
                                                   : formatSize(item.sizeText));
    if (facts.apkParts > 1)
        size += QStringLiteral(" (split: %1 APK files)").arg(facts.apkParts);

    const QString file = facts.apkPath.isEmpty() ? displayName(item) : escapeControls(facts.apkPath);
    return {package, dates + QStringLiteral("   ") + size, QStringLiteral("File: ") + file};
}

QString AppRowDelegate::toolTip(const ListItem &item)
{
    QStringList lines;
    if (item.isProtected)
        lines << QStringLiteral("Copy-protected application (shown in red): its APK is kept in a private folder "
                                "that only the system and root can read.");
    lines << QStringLiteral("File: ") +
                 (item.facts.apkPath.isEmpty() ? displayName(item) : escapeControls(item.facts.apkPath));
    if (item.facts.apkParts > 1)
        lines << QStringLiteral("A split package: a base APK and %1 split APK files.").arg(item.facts.apkParts - 1);
    return lines.join(u'\n');
}

bool AppRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                               const QModelIndex &index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), toolTip(index.data(FileListModel::ItemRole).value<ListItem>()), view);
    return true;
}

void AppRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const int row = index.row();
    const ListItem item = index.data(FileListModel::ItemRole).value<ListItem>();
    paintPackageRow(painter, opt, row >= 0 && row < m_icons.size() ? m_icons.at(row) : genericIcon(),
                    {title(item), item.isProtected ? kMaroon : QColor(Qt::black), detailLines(item)});
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
