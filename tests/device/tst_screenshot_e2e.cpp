// The screenshot window against each simulated phone: the picture equals what the phone serves, four turns
// give it back, saving writes a readable file, and a capture that fails says so.
#include "device/screencapture.h"
#include "deviceui/screenshotform.h"
#include "files/browserharness.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QScreen>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes the phone a 320 x 480 RGB565 one whose rows are padded to 352 pixels, showing its second buffer;
// the first holds an older frame that must not be shown.
void becomePaddedPhone(PhoneSim &sim)
{
    const auto write = [&sim](const QString &phonePath, const QByteArray &content) {
        QFile file(sim.hostPath(phonePath));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    };
    QByteArray frames(352 * 2 * 960, '\x55');
    for (qsizetype i = 352 * 2 * 480; i < frames.size(); ++i)
        frames[i] = char(i * 7 % 251);
    write(QStringLiteral("/dev/graphics/fb0"), frames);
    const QString fb = QStringLiteral("/sys/class/graphics/fb0/");
    write(fb + QStringLiteral("virtual_size"), "352,960\n");
    write(fb + QStringLiteral("bits_per_pixel"), "16\n");
    write(fb + QStringLiteral("stride"), "704\n");
    write(fb + QStringLiteral("modes"), "U:320x480p-60\n");
    write(fb + QStringLiteral("pan"), "0,480\n");
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

Q_DECLARE_METATYPE(FramebufferGeometry)

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
        QTest::addColumn<bool>("padded");
        QTest::addColumn<FramebufferGeometry>("layout");
        QTest::addColumn<QString>("source"); // what the picture is read from on the phone
        const QString fb = QStringLiteral("/dev/graphics/fb0");
        QTest::newRow("legacy") << QStringLiteral("legacy") << false << FramebufferGeometry{480, 800, 32, 1920, 0, 800}
                                << fb;
        QTest::newRow("padded RGB565") << QStringLiteral("legacy") << true
                                       << FramebufferGeometry{320, 480, 16, 704, 0, 480} << fb;
        // Android 2.3 has screencap, and no exec service: its picture comes through a file. The framebuffer
        // shows the same screen.
        QTest::newRow("rooted") << QStringLiteral("rooted") << false << FramebufferGeometry{480, 800, 32, 1920, 0, 0}
                                << QStringLiteral("/system/lib/phonesim-screen.raw");
    }
    void oldPhonesShowTheirFramebuffer()
    {
        QFETCH(QString, profile);
        QFETCH(bool, padded);
        QFETCH(FramebufferGeometry, layout);
        QFETCH(QString, source);
        START_PHONE(profile);
        if (padded)
            becomePaddedPhone(*m_sim);
        // The phone's framebuffer read with the layout it has; the reading itself is checked on its own.
        const QImage expected =
            decodeFramebuffer(fileBytes(m_sim->hostPath(QStringLiteral("/dev/graphics/fb0"))), layout).image;
        QVERIFY(!expected.isNull());
        m_sim->clearJournal();
        const QString saved = m_home->filePath(QStringLiteral("shot"));
        Seen seen = openFromMenu("screenshotAction", saved);
        checkPicture(seen, expected);
        const bool framebuffer = source.startsWith(QStringLiteral("/dev/"));
        QCOMPARE(m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")), framebuffer);
        QCOMPARE(m_sim->journal().contains(QStringLiteral("sync: RECV /data/local/tmp/velbrook-screen.raw")),
                 !framebuffer);
        QVERIFY(!m_sim->journal().contains(QStringLiteral("exec: screencap")));
        // Typed without an extension: a PNG named so.
        QCOMPARE(rgb32(QImage(saved + QStringLiteral(".png"), "PNG")), rgb32(expected));
        QVERIFY(m_prompter->messages.isEmpty());

        // The picture gone: the window says so instead of showing the last frame.
        QVERIFY(QFile::remove(m_sim->hostPath(source)));
        Seen failed = openFromMenu("screenshotAction");
        QVERIFY(failed.picture.isNull());
        QVERIFY2(failed.error.startsWith(QStringLiteral("Screenshot failed: ")), qPrintable(failed.error));
        QVERIFY(!failed.saveEnabled);
    }

    void currentPhoneShowsItsTrueScreen()
    {
        START_PHONE(QStringLiteral("modern"));
        PhoneSim::Result png = m_sim->adb({QStringLiteral("exec-out"), QStringLiteral("screencap -p")});
        const QImage expected = QImage::fromData(png.out, "PNG");
        QCOMPARE(expected.size(), QSize(540, 1170));
        m_sim->clearJournal();

        for (const char *name : {"first", "second"}) {
            const QString saved = m_home->filePath(QStringLiteral("shot-%1.bmp").arg(QLatin1String(name)));
            Seen seen = openFromMenu("screenshotAction", saved);
            checkPicture(seen, expected);
            QImageReader reader(saved);
            QCOMPARE(reader.format(), QByteArray("bmp"));
            QCOMPARE(rgb32(reader.read()), rgb32(expected));
        }
        // Asked once per window, then captured through exec-out.
        QCOMPARE(m_sim->journal().filter(QStringLiteral("exec: screencap")).size(), 2);
        QVERIFY(!m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")));
    }
};

QTEST_MAIN(TestScreenshotE2e)
#include "tst_screenshot_e2e.moc"
