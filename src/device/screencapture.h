#pragma once

#include "base/safefile.h"
#include "bridge/adbutils.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// The two phone families of the menu, for phones without screencap: the framebuffer's fixed geometry.
enum class ScreenFamily {
    Nexus, // "Nexus, Desire,...": 480 x 800, bytes R, G, B, unused
    G1,    // "G1, Magic, Hero,...": 320 x 480, little-endian RGB565
};

// One picture, or why there is none.
struct CaptureResult {
    QImage image;
    QString error;
    bool ok() const { return !image.isNull(); }
};

// The first frame of /dev/graphics/fb0 in the family's layout; further bytes (a second buffer) are ignored.
CaptureResult decodeFramebuffer(const QByteArray &raw, ScreenFamily family);

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
// from the framebuffer in the family's layout.
class ScreenCapture {
public:
    ScreenCapture(const AdbClient &adb, ScreenFamily family, QString rawFile);

    CaptureResult capture();
    // Whether the phone has screencap; asked once, at the first capture.
    bool usesScreencap();
    ScreenFamily family() const { return m_family; }

private:
    QByteArray fetch(const QString &adbOutput);

    AdbClient m_adb;
    ScreenFamily m_family;
    QString m_rawFile;
    std::optional<bool> m_screencap;
};
