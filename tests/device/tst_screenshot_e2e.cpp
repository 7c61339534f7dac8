// The screenshot window against each simulated phone: the picture equals what the phone serves, four turns
// give it back, saving writes a readable file, and a capture that fails says so.
#include "device/screencapture.h"
#include "deviceui/screenshotform.h"
#include "files/browserharness.h"

#include <QAction>
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

    // Opens the window from the menu and drives it: four turns, Exit. Saving is the window's own test's.
    Seen openFromMenu()
    {
        Seen seen;
        m_prompter->dialogAnswers << [&seen](QDialog &dialog) {
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
            buttonOf(form, "btnExit")->click();
            return form.result();
        };
        m_form->findChild<QAction *>(QStringLiteral("screenshotAction"))->trigger();
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
        checkPicture(openFromMenu(), expected);
        const bool framebuffer = source.startsWith(QStringLiteral("/dev/"));
        QCOMPARE(m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")), framebuffer);
        QCOMPARE(m_sim->journal().contains(QStringLiteral("sync: RECV /data/local/tmp/velbrook-screen.raw")),
                 !framebuffer);
        QVERIFY(!m_sim->journal().contains(QStringLiteral("exec: screencap")));
        QVERIFY(!QFile::exists(m_sim->hostPath(QStringLiteral("/data/local/tmp/velbrook-screen.raw"))));
        QVERIFY(m_prompter->messages.isEmpty());

        // The picture gone: the window says so instead of showing the last frame.
        QVERIFY(QFile::remove(m_sim->hostPath(source)));
        Seen failed = openFromMenu();
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

        checkPicture(openFromMenu(), expected);
        QCOMPARE(m_sim->journal().filter(QStringLiteral("exec: screencap")).size(), 1);
        QVERIFY(!m_sim->journal().contains(QStringLiteral("sync: RECV /dev/graphics/fb0")));
    }
};

QTEST_MAIN(TestScreenshotE2e)
#include "tst_screenshot_e2e.moc"
