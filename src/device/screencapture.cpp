#include "device/screencapture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTransform>

namespace {

const QString kFramebuffer = QStringLiteral("/dev/graphics/fb0");
const QString kScreencap = QStringLiteral("/system/bin/screencap");
// Where phones whose adbd has no exec service (Android 4.x) leave the picture for a pull.
const QString kPhoneRawFile = QStringLiteral("/data/local/tmp/velbrook-screen.raw");
// Larger than any phone screen: a scrambled header must not ask for gigabytes.
constexpr quint32 kMaxSide = 16384;
// A picture of a large screen takes a few seconds over USB 2; a hung phone must not hold the window.
constexpr int kCaptureTimeoutMs = 60000;

enum PixelFormat : quint32 { RGBA_8888 = 1, RGBX_8888 = 2, RGB_888 = 3, RGB_565 = 4, BGRA_8888 = 5 };

quint32 u32(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

CaptureResult failed(const QString &reason)
{
    return {QImage(), QStringLiteral("Screenshot failed: ") + reason};
}

CaptureResult tooShort(qsizetype got, qint64 needed)
{
    if (got == 0)
        return failed(QStringLiteral("the phone sent no picture."));
    return failed(QStringLiteral("the picture arrived incomplete (%1 of %2 bytes).").arg(got).arg(needed));
}

int bytesPerPixel(quint32 format)
{
    switch (format) {
    case RGBA_8888:
    case RGBX_8888:
    case BGRA_8888:
        return 4;
    case RGB_888:
        return 3;
    case RGB_565:
        return 2;
    default:
        return 0;
    }
}

// Each 5- or 6-bit channel widened to 8 bits so that white stays white.
QRgb fromRgb565(quint16 v)
{
    const int r = v >> 11 & 0x1f, g = v >> 5 & 0x3f, b = v & 0x1f;
    return qRgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString framebufferGeometryScript()
{
    // One line per file, named, so that a file the kernel lacks leaves a gap instead of shifting the rest.
    return QStringLiteral("cd /sys/class/graphics/fb0 && for f in virtual_size bits_per_pixel stride modes pan; "
                          "do echo \"$f=$(cat $f 2>/dev/null)\"; done");
}

std::optional<FramebufferGeometry> parseFramebufferGeometry(const QString &text)
{
    static const QRegularExpression pair(QStringLiteral("^\\s*(\\d+)\\s*,\\s*(\\d+)\\s*$"));
    // "U:480x800p-60": the first mode is the one in use.
    static const QRegularExpression mode(QStringLiteral("^[A-Za-z]?:?(\\d+)x(\\d+)"));
    int virtualWidth = 0, virtualHeight = 0, modeWidth = 0, modeHeight = 0;
    FramebufferGeometry g;
    for (const QString &rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (name == QStringLiteral("virtual_size") || name == QStringLiteral("pan")) {
            const QRegularExpressionMatch m = pair.match(value);
            if (!m.hasMatch())
                continue;
            (name == QStringLiteral("pan") ? g.xOffset : virtualWidth) = m.captured(1).toInt();
            (name == QStringLiteral("pan") ? g.yOffset : virtualHeight) = m.captured(2).toInt();
        } else if (name == QStringLiteral("bits_per_pixel")) {
            g.bitsPerPixel = value.toInt();
        } else if (name == QStringLiteral("stride")) {
            g.stride = value.toInt();
        } else if (name == QStringLiteral("modes")) {
            const QRegularExpressionMatch m = mode.match(value);
            if (m.hasMatch())
                modeWidth = m.captured(1).toInt(), modeHeight = m.captured(2).toInt();
        }
    }
    if (virtualWidth <= 0 || virtualHeight <= 0 || quint32(virtualWidth) > kMaxSide ||
        quint32(virtualHeight) > kMaxSide)
        return std::nullopt;
    if (g.bitsPerPixel != 16 && g.bitsPerPixel != 24 && g.bitsPerPixel != 32)
        return std::nullopt;
    if (modeWidth > 0 && modeWidth <= virtualWidth && modeHeight > 0 && modeHeight <= virtualHeight) {
        g.width = modeWidth;
        g.height = modeHeight;
    } else {
        // Without a mode: a portrait screen twice as tall as wide and more is two buffers on top of each other.
        g.width = virtualWidth;
        g.height = virtualHeight % 2 == 0 && virtualHeight / 2 > virtualWidth ? virtualHeight / 2 : virtualHeight;
    }
    const int rowBytes = virtualWidth * g.bitsPerPixel / 8;
    if (g.stride < g.width * g.bitsPerPixel / 8)
        g.stride = rowBytes;
    if (g.xOffset + g.width > virtualWidth || g.yOffset + g.height > virtualHeight)
        g.xOffset = g.yOffset = 0;
    return g;
}

std::optional<FramebufferGeometry> fixedFramebufferGeometry(qsizetype frameBytes)
{
    if (frameBytes > 0 && frameBytes % (480 * 800 * 4) == 0)
        return FramebufferGeometry{480, 800, 32, 480 * 4, 0, 0};
    if (frameBytes > 0 && frameBytes % (320 * 480 * 2) == 0)
        return FramebufferGeometry{320, 480, 16, 320 * 2, 0, 0};
    return std::nullopt;
}

CaptureResult decodeFramebuffer(const QByteArray &raw, const FramebufferGeometry &g)
{
    const int bpp = g.bitsPerPixel / 8;
    const qint64 start = qint64(g.yOffset) * g.stride + qint64(g.xOffset) * bpp;
    const qint64 needed = start + qint64(g.stride) * (g.height - 1) + qint64(g.width) * bpp;
    if (raw.size() < needed)
        return tooShort(raw.size(), needed);

    QImage image(g.width, g.height, QImage::Format_RGB32);
    for (int y = 0; y < g.height; ++y) {
        const auto *p = reinterpret_cast<const uchar *>(raw.constData()) + start + qint64(y) * g.stride;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < g.width; ++x, p += bpp)
            line[x] = bpp == 2 ? fromRgb565(quint16(p[0] | p[1] << 8)) : qRgb(p[0], p[1], p[2]);
    }
    return {image, QString()};
}

CaptureResult decodeScreencap(const QByteArray &raw)
{
    if (raw.size() < 12)
        return tooShort(raw.size(), 12);
    const quint32 width = u32(raw, 0);
    const quint32 height = u32(raw, 4);
    const quint32 format = u32(raw, 8);
    const int bpp = bytesPerPixel(format);
    if (bpp == 0)
        return failed(QStringLiteral("unknown pixel format %1.").arg(format));
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return failed(QStringLiteral("the phone reported a screen of %1 x %2 pixels.").arg(width).arg(height));

    // Android 8 added the colour space to the header; the length tells which header this is.
    const qint64 pixels = qint64(width) * height * bpp;
    const qsizetype header = raw.size() == 12 + pixels ? 12 : 16;
    if (raw.size() < header + pixels)
        return tooShort(raw.size(), 16 + pixels);

    QImage image(int(width), int(height), QImage::Format_RGB32);
    const auto *p = reinterpret_cast<const uchar *>(raw.constData()) + header;
    for (int y = 0; y < int(height); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < int(width); ++x, p += bpp) {
            switch (format) {
            case BGRA_8888:
                line[x] = qRgb(p[2], p[1], p[0]);
                break;
            case RGB_565:
                line[x] = fromRgb565(quint16(p[0] | p[1] << 8));
                break;
            default: // RGBA, RGBX and RGB start alike; the screen is opaque
                line[x] = qRgb(p[0], p[1], p[2]);
                break;
            }
        }
    }
    return {image, QString()};
}

QImage rotateQuarter(const QImage &image)
{
    // Qt turns exact quarter turns pixel for pixel, without resampling.
    return image.transformed(QTransform().rotate(270));
}

PictureFile pictureFile(const QString &typedName, const QString &chosenFilter)
{
    const auto formatOf = [](const QString &extension) -> QByteArray {
        const QString lower = extension.toLower();
        if (lower == QStringLiteral("png"))
            return "png";
        if (lower == QStringLiteral("jpg") || lower == QStringLiteral("jpeg"))
            return "jpeg";
        if (lower == QStringLiteral("bmp"))
            return "bmp";
        return {};
    };
    if (const QByteArray typed = formatOf(QFileInfo(typedName).suffix()); !typed.isEmpty())
        return {typedName, typed};
    // The filter's first pattern names the extension to add: "JPEG files (*.jpg *.jpeg)" gives ".jpg".
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = pattern.match(chosenFilter);
    QString extension = match.hasMatch() ? match.captured(1).toLower() : QString();
    QByteArray format = formatOf(extension);
    if (format.isEmpty()) {
        extension = QStringLiteral("png");
        format = "png";
    }
    return {typedName + u'.' + extension, format};
}

QByteArray encodePicture(const QImage &image, const QByteArray &format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(95);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
        return {};
    return bytes;
}

FileWriteResult savePicture(const QImage &image, const PictureFile &file)
{
    const QByteArray bytes = encodePicture(image, file.format);
    if (bytes.isEmpty())
        return {false, QStringLiteral("Cannot save the screenshot as ") + QDir::toNativeSeparators(file.path) +
                           QStringLiteral(": the picture could not be encoded as ") +
                           QString::fromLatin1(file.format).toUpper()};
    return saveWholeFile(file.path, [&bytes](QIODevice &out) { return out.write(bytes) == bytes.size(); });
}

ScreenCapture::ScreenCapture(const AdbClient &adb, QString rawFile) : m_adb(adb), m_rawFile(std::move(rawFile))
{
    // Its own commands: never stopped along with an operation or a listing of the main window.
    m_adb.setCancelToken(std::make_shared<CancelToken>());
    m_adb.setTimeout(kCaptureTimeoutMs);
}

bool ScreenCapture::usesScreencap()
{
    if (!m_screencap)
        m_screencap = m_adb.pathExists(kScreencap);
    return *m_screencap;
}

CaptureResult ScreenCapture::capture()
{
    // A transfer that fails must not leave the last frame behind to be shown as the new one.
    QFile::remove(m_rawFile);
    QString output;
    CaptureResult result;
    if (usesScreencap()) {
        output = m_adb.execOutToFile(QStringLiteral("screencap"), m_rawFile);
        QByteArray raw = readFile(m_rawFile);
        if (raw.isEmpty()) {
            // Android 4.x's adbd has no exec service: the picture goes through a file on the phone.
            m_adb.runShell(QStringLiteral("screencap ") + quoteDevicePath(kPhoneRawFile));
            output = m_adb.pullFile(kPhoneRawFile, m_rawFile);
            m_adb.runShell(QStringLiteral("rm ") + quoteDevicePath(kPhoneRawFile), false);
            raw = readFile(m_rawFile);
        }
        result = decodeScreencap(raw);
    } else {
        result = captureFramebuffer(output);
    }
    if (!result.ok() && !output.isEmpty())
        result.error += u'\n' + output;
    return result;
}

CaptureResult ScreenCapture::captureFramebuffer(QString &adbOutput)
{
    // Asked before each picture: the frame on show moves between the buffers.
    const std::optional<FramebufferGeometry> reported =
        parseFramebufferGeometry(m_adb.runShell(framebufferGeometryScript()));
    adbOutput = m_adb.pullFile(kFramebuffer, m_rawFile);
    const QByteArray raw = readFile(m_rawFile);
    if (reported)
        return decodeFramebuffer(raw, *reported);
    if (raw.isEmpty())
        return tooShort(0, 0);
    if (const std::optional<FramebufferGeometry> fixed = fixedFramebufferGeometry(raw.size()))
        return decodeFramebuffer(raw, *fixed);
    return failed(QStringLiteral("the phone does not report its screen size, and the %1 bytes of its screen "
                                 "match no known phone.")
                      .arg(raw.size()));
}
