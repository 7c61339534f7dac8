#include "widgets/fileicons.h"

#include "lists/listitem.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap page(const QColor &fold, const QString &mark, const QColor &markColor)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(4.5, 1.5);
    sheet.lineTo(15, 1.5);
    sheet.lineTo(20.5, 7);
    sheet.lineTo(20.5, 22.5);
    sheet.lineTo(4.5, 22.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(fold);
    p.drawPolygon(QPolygonF{{15, 1.5}, {15, 7}, {20.5, 7}});
    if (!mark.isEmpty()) {
        QFont font;
        font.setPixelSize(mark.size() > 2 ? 7 : 10);
        font.setBold(true);
        p.setFont(font);
        p.setPen(markColor);
        p.drawText(QRect(4, 8, 17, 14), Qt::AlignCenter, mark);
    }
    return pixmap;
}

QPixmap folder()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(176, 132, 24), 1));
    p.setBrush(QColor(240, 196, 80));
    p.drawRoundedRect(QRectF(1.5, 4.5, 9, 4), 1, 1);
    p.setBrush(QColor(252, 214, 104));
    p.drawRoundedRect(QRectF(1.5, 6.5, 21, 15), 1.5, 1.5);
    return pixmap;
}

QPixmap link()
{
    QPixmap pixmap = page(QColor(220, 220, 220), QString(), Qt::black);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 90, 200), 2));
    p.drawLine(QPointF(8, 18), QPointF(16, 10));
    p.drawLine(QPointF(11, 10), QPointF(16, 10));
    p.drawLine(QPointF(16, 10), QPointF(16, 15));
    return pixmap;
}

} // namespace

const QList<QPixmap> &fileIcons()
{
    static const QList<QPixmap> icons{
        page(QColor(164, 198, 57), QStringLiteral("APK"), QColor(100, 140, 20)),
        folder(),
        page(QColor(220, 220, 220), QString(), Qt::black),
        link(),
        page(QColor(200, 60, 60), QStringLiteral("\u25B6"), QColor(200, 60, 60)),
        page(QColor(60, 150, 220), QStringLiteral("\u25A3"), QColor(60, 150, 220)),
        page(QColor(150, 80, 200), QStringLiteral("\u266A"), QColor(150, 80, 200)),
        page(QColor(200, 160, 40), QStringLiteral("ZIP"), QColor(160, 120, 20)),
        page(QColor(80, 80, 160), QStringLiteral("DB"), QColor(80, 80, 160)),
    };
    return icons;
}

int iconIndexFor(const ListItem &row)
{
    if (isFolder(row))
        return IconFolder;
    const QString &name = itemName(row);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString ext = dot < 0 ? QString() : name.mid(dot).toLower();
    static const QStringList audio{".mp3", ".wav", ".ogg", ".wma", ".midi"};
    static const QStringList video{".mp4", ".3gp", ".avi", ".rmvb", ".mkv", ".wmv"};
    static const QStringList picture{".jpg", ".jpeg", ".png", ".bmp", ".gif"};
    if (ext == QStringLiteral(".apk"))
        return IconApk;
    if (audio.contains(ext))
        return IconAudio;
    if (video.contains(ext))
        return IconVideo;
    if (picture.contains(ext))
        return IconPicture;
    if (ext == QStringLiteral(".zip"))
        return IconZip;
    if (ext == QStringLiteral(".db"))
        return IconDatabase;
    return isLink(row) ? IconLink : IconFile;
}
