#include "lists/imagescale.h"

#include <QPainter>

#include <cstdint>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int64_t mulDiv(int64_t a, int64_t b, int64_t c)
{
    const int64_t product = a * b;
    return product >= 0 ? (product + c / 2) / c : (product - c / 2) / c;
}

} // namespace

QImage ScaleBitmapBilinear(const QImage &sourceImage, QSize targetSize)
{
    const QImage source = sourceImage.convertToFormat(QImage::Format_RGB888);
    if (source.size() == targetSize)
        return source;
    QImage target(targetSize, QImage::Format_RGB888);
    const int sw = source.width();
    const int sh = source.height();
    const int tw = targetSize.width();
    const int th = targetSize.height();
    if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0)
        return target;

    const int64_t xStep = mulDiv(sw - 1, 65536, tw);
    const int64_t yStep = mulDiv(sh - 1, 65536, th);
    int64_t sy = 0;
    for (int y = 0; y < th; ++y, sy += yStep) {
        const int r0 = int(sy >> 16);
        const int r1 = r0 < sh - 1 ? r0 + 1 : r0;
        const int64_t fy = (sy & 0xFFFF) + 1;
        const int64_t gy = 65536 - (sy & 0xFFFF);
        const uchar *top = source.constScanLine(r0);
        const uchar *bottom = source.constScanLine(r1);
        uchar *out = target.scanLine(y);
        int64_t sx = 0;
        for (int x = 0; x < tw; ++x, sx += xStep) {
            const int c = int(sx >> 16);
            const int64_t fx = sx & 0xFFFF;
            const int c1 = c < sw - 1 ? c + 1 : c;
            const int64_t wTR = mulDiv(fx, gy, 65536);
            const int64_t wTL = gy - wTR;
            const int64_t wBR = mulDiv(fx, fy, 65536);
            const int64_t wBL = fy - wBR;
            for (int ch = 0; ch < 3; ++ch) {
                const int64_t value = (top[c * 3 + ch] * wTL + top[c1 * 3 + ch] * wTR + bottom[c * 3 + ch] * wBL +
                                       bottom[c1 * 3 + ch] * wBR) >>
                                      16;
                out[x * 3 + ch] = uchar(std::min<int64_t>(value, 255));
            }
        }
    }
    return target;
}

QImage LoadRowIcon(const QString &file, QSize size)
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
    return ScaleBitmapBilinear(canvas, size);
}
