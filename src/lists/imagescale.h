#pragma once

#include <QImage>
#include <QSize>

// Scales an icon with 16.16 fixed-point bilinear weights; the result is 24 bits per pixel.
// Same size gives a plain copy.
QImage ScaleBitmapBilinear(const QImage &source, QSize targetSize);
