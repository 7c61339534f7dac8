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
};

QTEST_MAIN(TestDeviceForm)
#include "tst_deviceform.moc"
