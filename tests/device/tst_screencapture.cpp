// Decoding what the phone sends (the framebuffer of the old phones, screencap's raw output), turning and
// saving the picture, and the commands one capture runs.
#include "common/recordingrunner.h"
#include "device/screencapture.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
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

const QString kListing = QStringLiteral("adb shell ls -a \"/system/bin/\" | cat");

} // namespace

class TestScreenCapture : public QObject {
    Q_OBJECT

private slots:
    void framebufferOfTheNexusFamily()
    {
        QByteArray frame(480 * 800 * 4, '\0');
        frame[0] = char(10), frame[1] = char(20), frame[2] = char(30), frame[3] = char(40);
        const qsizetype last = frame.size() - 4;
        frame[last] = char(200), frame[last + 1] = char(100), frame[last + 2] = char(50);
        CaptureResult one = decodeFramebuffer(frame, ScreenFamily::Nexus);
        QVERIFY(one.ok());
        QCOMPARE(one.image.size(), QSize(480, 800));
        QCOMPARE(one.image.pixel(0, 0), qRgb(10, 20, 30));
        QCOMPARE(one.image.pixel(479, 799), qRgb(200, 100, 50));

        // A second buffer behind the first is ignored.
        CaptureResult two = decodeFramebuffer(frame + QByteArray(frame.size(), '\x7f'), ScreenFamily::Nexus);
        QCOMPARE(two.image, one.image);

        CaptureResult shortFrame = decodeFramebuffer(frame.left(frame.size() - 1), ScreenFamily::Nexus);
        QVERIFY(!shortFrame.ok());
        QVERIFY2(shortFrame.error.contains(QStringLiteral("1535999 of 1536000")), qPrintable(shortFrame.error));
        QVERIFY(decodeFramebuffer({}, ScreenFamily::Nexus).error.contains(QStringLiteral("no picture")));
    }

    void framebufferOfTheG1FamilyKeepsTheOldShifts()
    {
        QByteArray frame(320 * 480 * 2, '\0');
        const QList<std::pair<quint16, QRgb>> cases = {
            {0x001F, qRgb(0, 3, 248)},
            {0xFFFF, qRgb(255, 255, 248)},
            {0xF800, qRgb(248, 0, 0)},
            {0x07E0, qRgb(7, 252, 0)},
        };
        for (int i = 0; i < cases.size(); ++i) {
            frame[2 * i] = char(cases[i].first & 0xff);
            frame[2 * i + 1] = char(cases[i].first >> 8);
        }
        CaptureResult result = decodeFramebuffer(frame, ScreenFamily::G1);
        QCOMPARE(result.image.size(), QSize(320, 480));
        for (int i = 0; i < cases.size(); ++i)
            QCOMPARE(result.image.pixel(i, 0), cases[i].second);
        QVERIFY(!decodeFramebuffer(frame.left(320 * 480), ScreenFamily::G1).ok());
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

    void rotationIsAQuarterTurnCounterClockwise()
    {
        QImage source(3, 2, QImage::Format_RGB32);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                source.setPixel(x, y, qRgb(x * 60, y * 60, 7));
        QImage turned = rotateQuarter(source);
        QCOMPARE(turned.size(), QSize(2, 3));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(turned.pixel(y, 2 - x), source.pixel(x, y));
        QImage back = rotateQuarter(rotateQuarter(rotateQuarter(turned)));
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), source);
    }

    // The typed extension decides when it is a picture's; otherwise the chosen filter does and lends its own.
    void savingByNameOrFilter()
    {
        QTemporaryDir dir;
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(qRgb(200, 10, 10));
        const QString png = QStringLiteral("PNG files (*.png)"), jpeg = QStringLiteral("JPEG files (*.jpg *.jpeg)"),
                      bmp = QStringLiteral("BMP files (*.bmp)");
        const QList<std::tuple<QString, QString, QString, QByteArray>> cases = {
            {QStringLiteral("shot"), QString(), QStringLiteral("shot.png"), "png"},
            {QStringLiteral("shot"), jpeg, QStringLiteral("shot.jpg"), "jpeg"},
            {QStringLiteral("shot"), bmp, QStringLiteral("shot.bmp"), "bmp"},
            {QStringLiteral("shot.PNG"), jpeg, QStringLiteral("shot.PNG"), "png"},
            {QStringLiteral("shot.jpeg"), png, QStringLiteral("shot.jpeg"), "jpeg"},
            {QStringLiteral("shot.bmp"), png, QStringLiteral("shot.bmp"), "bmp"},
            {QStringLiteral("shot.gif"), png, QStringLiteral("shot.gif.png"), "png"},
            {QStringLiteral("v1.2"), jpeg, QStringLiteral("v1.2.jpg"), "jpeg"},
        };
        for (const auto &[typed, filter, written, format] : cases) {
            const PictureFile file = pictureFile(dir.filePath(typed), filter);
            QCOMPARE(file.path, dir.filePath(written));
            QVERIFY(savePicture(picture, file).ok);
            QImageReader reader(file.path);
            reader.setDecideFormatFromContent(true);
            QCOMPARE(reader.format(), format);
            const QImage read = reader.read();
            QCOMPARE(read.size(), picture.size());
            if (format != "jpeg")
                QCOMPARE(read.pixel(1, 1), picture.pixel(1, 1));
        }
        const FileWriteResult missing = savePicture(picture, {dir.filePath(QStringLiteral("missing/shot.png")), "png"});
        QVERIFY(!missing.ok);
        QVERIFY2(missing.error.contains(QStringLiteral("missing/shot.png")), qPrintable(missing.error));
    }

    void screencapIsAskedForOnceAndUsedWhateverTheFamily()
    {
        QTemporaryDir dir;
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(kListing, QStringLiteral("sh\nscreencap\ntoybox\n"));
        const QByteArray raw = header(2, 2, 5, true) + pixels(5);
        runner->fileAnswers.insert(QStringLiteral("adb exec-out screencap"), raw);
        ScreenCapture capture(AdbClient(runner), ScreenFamily::G1, dir.filePath(QStringLiteral("screen.raw")));
        QVERIFY(capture.capture().ok());
        CaptureResult second = capture.capture();
        QVERIFY(second.ok());
        QCOMPARE(second.image.size(), QSize(2, 2));
        QCOMPARE(runner->texts(), QStringList({kListing, QStringLiteral("adb exec-out screencap"),
                                               QStringLiteral("adb exec-out screencap")}));
    }

    void withoutExecTheShotGoesThroughAFile()
    {
        QTemporaryDir dir;
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(kListing, QStringLiteral("screencap\n"));
        runner->answers.insert(QStringLiteral("adb exec-out screencap"), QStringLiteral("error: closed"));
        ScreenCapture capture(AdbClient(runner), ScreenFamily::Nexus, dir.filePath(QStringLiteral("screen.raw")));
        CaptureResult result = capture.capture();
        // The stand-in's pull writes nothing: the capture fails and names what adb said.
        QVERIFY(!result.ok());
        QVERIFY(
            runner->texts().contains(QStringLiteral("adb shell screencap \"/data/local/tmp/velbrook-screen.raw\"")));
        QVERIFY(runner->texts().contains(QStringLiteral("adb shell rm \"/data/local/tmp/velbrook-screen.raw\"")));
    }

    void aFailedPullNeverShowsTheLastFrame()
    {
        QTemporaryDir dir;
        const QString rawFile = dir.filePath(QStringLiteral("screen.raw"));
        QFile old(rawFile);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(480 * 800 * 4, '\x55'));
        old.close();
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(kListing, QStringLiteral("sh\nls\n"));
        const QString pull = QStringLiteral("adb pull \"/dev/graphics/fb0\" \"") + rawFile + u'"';
        runner->answers.insert(pull, QStringLiteral("remote object '/dev/graphics/fb0' does not exist"));
        ScreenCapture capture(AdbClient(runner), ScreenFamily::Nexus, rawFile);
        CaptureResult result = capture.capture();
        QVERIFY(runner->texts().contains(pull));
        QVERIFY(!result.ok());
        QVERIFY2(result.error.contains(QStringLiteral("does not exist")), qPrintable(result.error));
    }
};

QTEST_GUILESS_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
