#include "lists/imagescale.h"

#include <QPainter>

QImage loadRowIcon(const QString &file, QSize size)
{
    if (file.isEmpty())
        return QImage();
    const QImage picture(file);
    if (picture.isNull())
        return QImage();
    // Transparent parts of the icon show the list's white.
    QImage canvas(picture.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter(&canvas).drawImage(0, 0, picture);
    // Rows draw a square: the icon fills it whatever its own shape.
    return canvas.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
