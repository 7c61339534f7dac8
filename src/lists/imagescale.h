#pragma once

#include <QImage>
#include <QString>
#include <QSize>

// A cached icon file as a row's image (32 x 32 unless told), transparent parts on white; null when the file is
// missing or cannot be read.
QImage loadRowIcon(const QString &file, QSize size = QSize(32, 32));
