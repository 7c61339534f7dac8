// The screenshot window against each simulated phone: the picture equals what the phone serves, four turns
// give it back, and a capture that fails says so.
#include "device/screencapture.h"
#include "deviceui/screenshotform.h"
#include "files/browserharness.h"

#include <QAction>
#include <QLabel>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

struct Seen {
    QImage picture;
    QImage afterFourTurns;
    QSize turnedSize;
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
        QVERIFY2(!seen.picture.isNull(), qPrintable(seen.error));
        QCOMPARE(rgb32(seen.picture), rgb32(expected));
        QCOMPARE(seen.turnedSize, expected.size().transposed());
        QCOMPARE(rgb32(seen.afterFourTurns), rgb32(expected));
    }

private slots:
    void cleanup() { stopAll(); }

    void oldPhonesShowTheirFramebuffer_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<FramebufferGeometry>("layout");
        QTest::addColumn<QString>("source"); // what the picture is read from on the phone
        const QString fb = QStringLiteral("/dev/graphics/fb0");
        QTest::newRow("legacy") << QStringLiteral("legacy") << FramebufferGeometry{480, 800, 32, 1920, 0, 800} << fb;
        // Android 2.3 has screencap, and no exec service: its picture comes through a file. The framebuffer
        // shows the same screen.
        QTest::newRow("rooted") << QStringLiteral("rooted") << FramebufferGeometry{480, 800, 32, 1920, 0, 0}
                                << QStringLiteral("/system/lib/phonesim-screen.raw");
    }
    void oldPhonesShowTheirFramebuffer()
    {
        QFETCH(QString, profile);
        QFETCH(FramebufferGeometry, layout);
        QFETCH(QString, source);
        START_PHONE(profile);
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
