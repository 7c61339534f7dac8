// The screenshot window against each simulated phone: the picture equals what the phone serves, four turns
// give it back, saving writes a readable file, and a capture that fails says so.
#include "deviceui/screenshotform.h"
#include "files/browserharness.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QScreen>

// Skips only where this machine cannot run the simulated phone at all.
#define START_PHONE(profile)                                                                                           \
    do {                                                                                                               \
        if (!startPhone(profile)) {                                                                                    \
            if (m_sim->isUnsupported())                                                                                \
                QSKIP(qPrintable(m_sim->errorString()));                                                               \
            QFAIL(qPrintable(m_sim->errorString()));                                                                   \
        }                                                                                                              \
    } while (0)

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The framebuffer as the old phones' layout describes it (16-bit values by the old converter's shifts).
QImage framebufferPicture(const QByteArray &raw, int width, int height, int bpp)
{
    QImage image(width, height, QImage::Format_RGB32);
    const auto *p = reinterpret_cast<const uchar *>(raw.constData());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, p += bpp) {
            const unsigned v = p[0] | p[1] << 8;
            image.setPixel(x, y,
                           bpp == 4 ? qRgb(p[0], p[1], p[2])
                                    : qRgb(int(v >> 8 & 0xff), int(v >> 3 & 0xff), int(v << 3 & 0xff)));
        }
    }
    return image;
}

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

struct Seen {
    QImage picture;
    QImage afterFourTurns;
    QSize turnedSize;
    QSize windowSize;
    QString caption;
    QString error;
    bool saveEnabled = false;
};

QPushButton *buttonOf(QDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class TestScreenshotE2e : public BrowserHarness {
    Q_OBJECT

    // Opens the window from the menu item and drives it: four turns, one save to `saveAs`, Exit.
    Seen openFromMenu(const char *item, const QString &saveAs = QString())
    {
        Seen seen;
        if (!saveAs.isEmpty())
            m_prompter->saveFiles << saveAs;
        m_prompter->dialogAnswers << [&seen, saveAs](QDialog &dialog) {
            auto &form = static_cast<ScreenshotWindow &>(dialog);
            seen.picture = form.picture();
            seen.caption = form.windowTitle();
            seen.windowSize = form.size();
            seen.error = form.errorText();
            seen.saveEnabled = buttonOf(form, "btnSave")->isEnabled();
            if (!seen.picture.isNull()) {
                buttonOf(form, "btnRotate")->click();
                seen.turnedSize = form.picture().size();
                for (int i = 0; i < 3; ++i)
                    buttonOf(form, "btnRotate")->click();
                seen.afterFourTurns = form.picture();
            }
            if (!saveAs.isEmpty())
                buttonOf(form, "btnSave")->click();
            buttonOf(form, "btnExit")->click();
            return form.result();
        };
        m_form->findChild<QAction *>(QLatin1String(item))->trigger();
        return seen;
    }

    void checkPicture(const Seen &seen, const QImage &expected)
    {
        QCOMPARE(seen.caption, QStringLiteral("Velbrook - Screenshot"));
        QVERIFY2(!seen.picture.isNull(), qPrintable(seen.error));
        QCOMPARE(rgb32(seen.picture), rgb32(expected));
        QCOMPARE(seen.turnedSize, expected.size().transposed());
        QCOMPARE(rgb32(seen.afterFourTurns), rgb32(expected));
        // The window fits the screen, however tall the phone's screen is.
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
        QVERIFY2(seen.windowSize.width() <= room.width() && seen.windowSize.height() <= room.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(seen.windowSize.width()).arg(seen.windowSize.height())));
    }

private slots:
    void cleanup() { stopAll(); }

    void oldPhonesShowTheirFramebuffer_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("bpp");
        QTest::newRow("legacy") << QStringLiteral("legacy") << QStringLiteral("screenshotG1Action") << QSize(320, 480)
                                << 2;
        QTest::newRow("rooted") << QStringLiteral("rooted") << QStringLiteral("screenshotNexusAction")
                                << QSize(480, 800) << 4;
    }
    void oldPhonesShowTheirFramebuffer()
    {
        QFETCH(QString, profile);
        QFETCH(QString, item);
        QFETCH(QSize, size);
        QFETCH(int, bpp);
        START_PHONE(profile);
        const QImage expected = framebufferPicture(fileBytes(m_sim->hostPath(QStringLiteral("/dev/graphics/fb0"))),
                                                   size.width(), size.height(), bpp);
        m_sim->clearJournal();
        const QString saved = m_home->filePath(QStringLiteral("shot"));
        Seen seen = openFromMenu(qPrintable(item), saved);
        checkPicture(seen, expected);
        QVERIFY(m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")));
        QVERIFY(!m_sim->journal().contains(QStringLiteral("exec: screencap")));
        // Typed without an extension: a PNG named so.
        QCOMPARE(rgb32(QImage(saved + QStringLiteral(".png"), "PNG")), rgb32(expected));
        QVERIFY(m_prompter->messages.isEmpty());

        // The framebuffer gone: the window says so instead of showing the last frame.
        QVERIFY(QFile::remove(m_sim->hostPath(QStringLiteral("/dev/graphics/fb0"))));
        Seen failed = openFromMenu(qPrintable(item));
        QVERIFY(failed.picture.isNull());
        QVERIFY2(failed.error.startsWith(QStringLiteral("Screenshot failed: ")), qPrintable(failed.error));
        QVERIFY(!failed.saveEnabled);
    }

    void currentPhoneShowsItsTrueScreenWhateverTheItem()
    {
        START_PHONE(QStringLiteral("modern"));
        PhoneSim::Result png = m_sim->adb({QStringLiteral("exec-out"), QStringLiteral("screencap -p")});
        const QImage expected = QImage::fromData(png.out, "PNG");
        QCOMPARE(expected.size(), QSize(540, 1170));
        m_sim->clearJournal();

        for (const char *item : {"screenshotNexusAction", "screenshotG1Action"}) {
            const QString saved = m_home->filePath(QStringLiteral("shot-%1.bmp").arg(QLatin1String(item)));
            Seen seen = openFromMenu(item, saved);
            checkPicture(seen, expected);
            QImageReader reader(saved);
            QCOMPARE(reader.format(), QByteArray("bmp"));
            QCOMPARE(rgb32(reader.read()), rgb32(expected));
        }
        // Asked once per window, then captured through exec-out.
        QCOMPARE(m_sim->journal().filter(QStringLiteral("exec: screencap")).size(), 2);
        QVERIFY(!m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")));

        // A JPEG is written as one, close to the picture.
        const QString jpeg = m_home->filePath(QStringLiteral("shot.jpg"));
        openFromMenu("screenshotNexusAction", jpeg);
        QImageReader reader(jpeg);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage read = reader.read();
        QCOMPARE(read.size(), expected.size());
        const QRgb a = read.pixel(270, 600), b = expected.pixel(270, 600);
        QVERIFY(qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 && qAbs(qBlue(a) - qBlue(b)) < 24);
    }
};

QTEST_MAIN(TestScreenshotE2e)
#include "tst_screenshot_e2e.moc"
