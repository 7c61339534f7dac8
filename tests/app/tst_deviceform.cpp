#include "app/deviceform.h"
#include "common/recordingrunner.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kHeader = QStringLiteral("List of devices attached\n");

} // namespace

class TestDeviceForm : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<RecordingRunner> m_runner;

    void list(const QString &lines)
    {
        m_runner->answers.insert(QStringLiteral("adb devices -l"), kHeader + lines + u'\n');
    }
    static QLabel *label(QDialog &form, const char *name) { return form.findChild<QLabel *>(QLatin1String(name)); }
    static QPushButton *button(QDialog &form, const char *name)
    {
        return form.findChild<QPushButton *>(QLatin1String(name));
    }
    static QTreeWidget *rows(QDialog &form) { return form.findChild<QTreeWidget *>(QStringLiteral("DeviceList")); }

private slots:
    void init() { m_runner = std::make_shared<RecordingRunner>(); }
    void cleanup() { qunsetenv("ANDROID_SERIAL"); }

    void unauthorizedPhoneIsNoticedWithoutRefresh()
    {
        list(QStringLiteral("emulator-5554          unauthorized transport_id:2"));
        DeviceDialog form(nullptr, m_runner, 20);
        QCOMPARE(label(form, "Device")->text(), QStringLiteral("Device: emulator-5554"));
        QVERIFY(label(form, "Advice")->text().contains(QStringLiteral("\"Always allow from this computer\"")));
        QVERIFY(!button(form, "btnOK")->isEnabled());
        QVERIFY(rows(form)->isHidden());

        // The user confirms the prompt on the phone; the window's own polling sees it.
        list(QStringLiteral(
            "emulator-5554          device product:sdk_phone model:Pixel_6 device:oriole transport_id:2"));
        QTRY_VERIFY(button(form, "btnOK")->isEnabled());
        QCOMPARE(label(form, "Device")->text(), QStringLiteral("Device: emulator-5554"));
        QVERIFY(label(form, "Advice")->isHidden());
        QVERIFY(m_runner->texts().count(QStringLiteral("adb devices -l")) >= 2);

        // The cable is pulled: Refresh still works on its own.
        form.setPollInterval(60 * 60 * 1000);
        list(QString());
        button(form, "btnRefresh")->click();
        QCOMPARE(label(form, "Device")->text(), QStringLiteral("Device: not found"));
        QVERIFY(!button(form, "btnOK")->isEnabled());
        button(form, "btnOK")->click();
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void severalDevicesArePickedFrom()
    {
        list(QStringLiteral(
            "127.0.0.1:40811        device product:sdk_phone model:Pixel_6 device:oriole transport_id:1\n"
            "emulator-5554          unauthorized transport_id:2"));
        DeviceDialog form(nullptr, m_runner, 20);
        QTreeWidget *tree = rows(form);
        QVERIFY(!tree->isHidden());
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("127.0.0.1:40811"));
        QCOMPARE(tree->topLevelItem(0)->text(2), QStringLiteral("Pixel_6"));
        QCOMPARE(tree->topLevelItem(1)->text(1), QStringLiteral("unauthorized"));
        QVERIFY(!button(form, "btnOK")->isEnabled());

        tree->setCurrentItem(tree->topLevelItem(1));
        QVERIFY(!button(form, "btnOK")->isEnabled());
        QVERIFY(label(form, "Advice")->text().contains(QStringLiteral("Allow USB debugging?")));
        tree->setCurrentItem(tree->topLevelItem(0));
        QVERIFY(button(form, "btnOK")->isEnabled());
        // The pick survives the next polls.
        const int polls = int(m_runner->commands.size());
        QTRY_VERIFY(m_runner->commands.size() > polls + 1);
        QCOMPARE(rows(form)->selectedItems().value(0)->text(0), QStringLiteral("127.0.0.1:40811"));
        QVERIFY(button(form, "btnOK")->isEnabled());

        button(form, "btnOK")->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(qgetenv("ANDROID_SERIAL"), QByteArray("127.0.0.1:40811"));
    }

    void wholeSerialIsShown()
    {
        list(QString());
        DeviceDialog form(nullptr, m_runner, 20);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The phone appears while the window is open, under a serial longer than the window.
        const QString serial = QStringLiteral("adb-R58M123ABCD-Xy1z2W._adb-tls-connect._tcp.");
        list(serial + QStringLiteral(" device product:a model:b device:c transport_id:7"));
        QLabel *device = label(form, "Device");
        QTRY_COMPARE(device->text(), QStringLiteral("Device: ") + serial);
        QTRY_VERIFY(device->width() >= device->fontMetrics().horizontalAdvance(device->text()));
        QVERIFY(form.width() >= device->width());
    }
};

QTEST_MAIN(TestDeviceForm)
#include "tst_deviceform.moc"
