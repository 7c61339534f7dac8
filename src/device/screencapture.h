#pragma once

#include "base/safefile.h"
#include "bridge/adbutils.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// How an old phone lays out /dev/graphics/fb0: the visible screen, the bytes of one pixel row (rows may be
// padded) and where the frame on show starts (phones flip between two buffers).
struct FramebufferGeometry {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // 16: little-endian RGB565; 24: R, G, B; 32: R, G, B, unused
    int stride = 0;       // bytes from one row to the next
    int xOffset = 0;      // the frame on show, in pixels
    int yOffset = 0;
};

// The answer of framebufferGeometryScript(): "name=value" lines for the sysfs files of fb0 (virtual_size,
// bits_per_pixel, stride, modes, pan). Empty when the phone did not say enough (no size, an unknown depth).
std::optional<FramebufferGeometry> parseFramebufferGeometry(const QString &text);
QString framebufferGeometryScript();

// For a phone that keeps its framebuffer's geometry to itself: the two layouts old phones had, told apart
// by the size of what the framebuffer gave (480 x 800 with 4 bytes a pixel, or 320 x 480 RGB565).
std::optional<FramebufferGeometry> fixedFramebufferGeometry(qsizetype frameBytes);

// One picture, or why there is none.
struct CaptureResult {
    QImage image;
    QString error;
    bool ok() const { return !image.isNull(); }
};

// The frame on show in what /dev/graphics/fb0 gave; the other buffer and the rows' padding are skipped.
CaptureResult decodeFramebuffer(const QByteArray &raw, const FramebufferGeometry &geometry);

// What "screencap" writes without -p: width, height, pixel format (and a colour space on Android 8 and
// later) as little-endian 32-bit values, then the rows.
CaptureResult decodeScreencap(const QByteArray &raw);

// A quarter turn counter-clockwise: the right edge becomes the top; four give the picture back.
QImage rotateQuarter(const QImage &image);

// Where and how a screenshot is saved. A typed ".png", ".jpg", ".jpeg" or ".bmp" decides, as the name is what
// the user will open it by; any other name gets the chosen filter's format and its extension added
// ("shot" with the JPEG filter becomes "shot.jpg"). No filter, or one without a known pattern, means PNG.
struct PictureFile {
    QString path;
    QByteArray format; // "png", "jpeg" or "bmp"
};
PictureFile pictureFile(const QString &typedName, const QString &chosenFilter);

// The picture encoded in memory; empty when the encoder failed.
QByteArray encodePicture(const QImage &image, const QByteArray &format);

// Encodes first, then writes the file whole: a refused write or a full disk leaves an old file as it was.
FileWriteResult savePicture(const QImage &image, const PictureFile &file);

// Takes screenshots through one AdbClient. Phones with screencap show their true screen; the others are read
// from the framebuffer in the layout the phone reports.
class ScreenCapture {
public:
    ScreenCapture(const AdbClient &adb, QString rawFile);

    CaptureResult capture();
    // Whether the phone has screencap; asked once, at the first capture.
    bool usesScreencap();

private:
    CaptureResult captureFramebuffer(QString &adbOutput);

    AdbClient m_adb;
    QString m_rawFile;
    std::optional<bool> m_screencap;
};
