// Decoding what the phone sends: the framebuffer of the old phones, screencap's raw output.
#include "device/screencapture.h"

#include <QTest>

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i) & 0xff);
    return b;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray header(quint32 width, quint32 height, quint32 format, bool colourSpace)
{
    return le32(width) + le32(height) + le32(format) + (colourSpace ? le32(1) : QByteArray());
}

// A 2 x 2 screen, top-left red, top-right green, bottom-left blue, bottom-right white, in `format`.
QByteArray pixels(quint32 format)
{
    const QList<QRgb> colours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    QByteArray out;
    for (QRgb c : colours) {
        const int r = qRed(c), g = qGreen(c), b = qBlue(c);
        switch (format) {
        case 1: // RGBA_8888: alpha must not leak into the picture
        case 2: // RGBX_8888
            out += bytes({r, g, b, format == 1 ? 0x80 : 0x00});
            break;
        case 3:
            out += bytes({r, g, b});
            break;
        case 4: {
            const int v = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
            out += bytes({v & 0xff, v >> 8});
            break;
        }
        case 5:
            out += bytes({b, g, r, 0xff});
            break;
        }
    }
    return out;
}

} // namespace

class TestScreenCapture : public QObject {
    Q_OBJECT

private slots:
    void framebufferGeometryFromSysfs_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QList<int>>("expected"); // width, height, bits, stride, x, y; empty: none
        QTest::newRow("double-buffered, second on show")
            << QStringLiteral("virtual_size=480,1600\r\nbits_per_pixel=32\r\nstride=1920\r\nmodes=U:480x800p-60\r\n"
                              "pan=0,800\r\n")
            << QList<int>{480, 800, 32, 1920, 0, 800};
        QTest::newRow("padded rows") << QStringLiteral("virtual_size=352,960\nbits_per_pixel=16\nstride=704\n"
                                                       "modes=U:320x480p-0\npan=0,0\n")
                                     << QList<int>{320, 480, 16, 704, 0, 0};
        // Kernels before 2.6.29 have no stride; without modes two buffers show in the height.
        QTest::newRow("no stride, no modes") << QStringLiteral("virtual_size=320,960\nbits_per_pixel=16\nstride=\n"
                                                               "modes=\npan=\n")
                                             << QList<int>{320, 480, 16, 640, 0, 0};
        QTest::newRow("pan beyond the buffers") << QStringLiteral("virtual_size=480,800\nbits_per_pixel=24\n"
                                                                  "modes=U:480x800p-60\npan=0,800\n")
                                                << QList<int>{480, 800, 24, 1440, 0, 0};
        QTest::newRow("unknown depth") << QStringLiteral("virtual_size=480,800\nbits_per_pixel=8\n") << QList<int>{};
        QTest::newRow("no sysfs") << QStringLiteral("virtual_size=\nbits_per_pixel=\nstride=\nmodes=\npan=\n")
                                  << QList<int>{};
        QTest::newRow("error text") << QStringLiteral("/system/bin/sh: cd: /sys/class/graphics/fb0: No such file")
                                    << QList<int>{};
    }
    void framebufferGeometryFromSysfs()
    {
        QFETCH(QString, answer);
        QFETCH(QList<int>, expected);
        const std::optional<FramebufferGeometry> g = parseFramebufferGeometry(answer);
        QCOMPARE(g.has_value(), !expected.isEmpty());
        if (g)
            QCOMPARE((QList<int>{g->width, g->height, g->bitsPerPixel, g->stride, g->xOffset, g->yOffset}), expected);
    }

    void framebufferFrameOnShow()
    {
        // 2 x 2 pixels, rows padded to 3 pixels, the second of two buffers on show.
        const FramebufferGeometry g32{2, 2, 32, 12, 0, 2};
        QByteArray frames(24, '\x55');
        frames += bytes({10, 20, 30, 0, 1, 2, 3, 0, 9, 9, 9, 9, 4, 5, 6, 0, 200, 100, 50, 0, 9, 9, 9, 9});
        CaptureResult result = decodeFramebuffer(frames, g32);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.image.size(), QSize(2, 2));
        QCOMPARE(result.image.pixel(0, 0), qRgb(10, 20, 30));
        QCOMPARE(result.image.pixel(1, 1), qRgb(200, 100, 50));
        // The last row needs no padding behind it; one byte less is incomplete.
        CaptureResult shortFrame = decodeFramebuffer(frames.left(44 - 1), g32);
        QVERIFY2(shortFrame.error.contains(QStringLiteral("43 of 44")), qPrintable(shortFrame.error));
        QVERIFY(decodeFramebuffer({}, g32).error.contains(QStringLiteral("no picture")));

        // RGB565 widened so that white stays white.
        const FramebufferGeometry g16{4, 1, 16, 8, 0, 0};
        CaptureResult rgb565 = decodeFramebuffer(bytes({0x1f, 0x00, 0xff, 0xff, 0x00, 0xf8, 0xe0, 0x07}), g16);
        QCOMPARE(rgb565.image.pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(rgb565.image.pixel(1, 0), qRgb(255, 255, 255));
        QCOMPARE(rgb565.image.pixel(2, 0), qRgb(255, 0, 0));
        QCOMPARE(rgb565.image.pixel(3, 0), qRgb(0, 255, 0));
    }

    void fixedGeometryOnlyBySize_data()
    {
        QTest::addColumn<qsizetype>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("480 x 800, 4 bytes") << qsizetype(480 * 800 * 4) << QSize(480, 800);
        QTest::newRow("two of them") << qsizetype(2 * 480 * 800 * 4) << QSize(480, 800);
        QTest::newRow("320 x 480 RGB565, two") << qsizetype(2 * 320 * 480 * 2) << QSize(320, 480);
        QTest::newRow("neither") << qsizetype(480 * 854 * 4) << QSize();
        QTest::newRow("nothing") << qsizetype(0) << QSize();
    }
    void fixedGeometryOnlyBySize()
    {
        QFETCH(qsizetype, bytes);
        QFETCH(QSize, size);
        const std::optional<FramebufferGeometry> g = fixedFramebufferGeometry(bytes);
        QCOMPARE(g ? QSize(g->width, g->height) : QSize(), size);
    }

    void screencapFormats_data()
    {
        QTest::addColumn<quint32>("format");
        QTest::addColumn<bool>("colourSpace");
        for (quint32 format : {1u, 2u, 3u, 4u, 5u}) {
            QTest::addRow("format %u, 12-byte header", format) << format << false;
            QTest::addRow("format %u, 16-byte header", format) << format << true;
        }
    }
    void screencapFormats()
    {
        QFETCH(quint32, format);
        QFETCH(bool, colourSpace);
        CaptureResult result = decodeScreencap(header(2, 2, format, colourSpace) + pixels(format));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.image.size(), QSize(2, 2));
        QCOMPARE(result.image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(result.image.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(result.image.pixel(0, 1), qRgb(0, 0, 255));
        // RGB565's white widens to full white, not the framebuffer's 248 blue.
        QCOMPARE(result.image.pixel(1, 1), qRgb(255, 255, 255));
    }

    void screencapFailuresSaySo()
    {
        const QByteArray good = header(2, 2, 1, true) + pixels(1);
        QVERIFY(decodeScreencap(good + QByteArray(64, '\0')).ok());

        CaptureResult cut = decodeScreencap(good.left(good.size() - 1));
        QVERIFY(!cut.ok());
        QVERIFY2(cut.error.contains(QStringLiteral("incomplete")), qPrintable(cut.error));
        QVERIFY(decodeScreencap({}).error.contains(QStringLiteral("no picture")));
        QVERIFY(!decodeScreencap(good.left(8)).ok());

        CaptureResult unknown = decodeScreencap(header(2, 2, 7, true) + pixels(1));
        QCOMPARE(unknown.error, QStringLiteral("Screenshot failed: unknown pixel format 7."));
        QVERIFY(!decodeScreencap(header(0, 2, 1, true) + pixels(1)).ok());
        // A scrambled header must not make the program allocate gigabytes.
        QVERIFY(!decodeScreencap(header(0x10000000, 0x10000000, 1, true)).ok());
    }
};

QTEST_GUILESS_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
