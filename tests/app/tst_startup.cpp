#include "appsui/apps2sdsettings.h"
#include "apps/appstorage.h"
#include "base/settingsstore.h"
#include "bridge/statusmonitor.h"
#include "common/adbstub.h"
#include "common/scriptedprompter.h"
#include "app/mainform.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

QPushButton *button(QWidget &parent, const char *name)
{
    return parent.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<AdbStub> m_adb;
    ScriptedPrompter *m_prompter = nullptr;

    std::unique_ptr<MainWindow> start(StartOptions options = {})
    {
        auto form = std::make_unique<MainWindow>(options);
        form->startUp();
        return form;
    }
    bool hasAppsTab(MainWindow &form)
    {
        auto *tabs = form.findChild<QTabWidget *>(QStringLiteral("rightTabs"));
        return tabs->indexOf(form.findChild<QWidget *>(QStringLiteral("AppsTab"))) >= 0;
    }
    QAction *action(MainWindow &form, const char *name) { return form.findChild<QAction *>(QLatin1String(name)); }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("VELBROOK_HOME", m_home->path().toUtf8());
        appState() = AppState{};
        appStorage() = AppStorage{};
        m_adb = std::make_unique<AdbStub>();
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
    }
    void cleanup()
    {
        setPrompter(std::make_unique<ScriptedPrompter>());
        m_adb.reset();
        qunsetenv("ANDROID_SERIAL");
    }

    void missingAdbShowsTheAdbDialogAndEnds()
    {
        m_adb->removeAdb();
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            button(dialog, "btnExit")->click();
            return dialog.result();
        };
        auto form = start();
        // Its Exit ends the program: no device window follows.
        QCOMPARE(m_prompter->dialogs, QStringList{"ADBForm"});
        QVERIFY(appState().quitAfterStart);
        QVERIFY(!form->statusMonitor());
    }

    void noDeviceExitEndsTheProgram()
    {
        m_adb->setDevicePresent(false);
        auto form = start();
        QCOMPARE(m_prompter->dialogs, QStringList{"DeviceForm"});
        QVERIFY(appState().quitAfterStart);
        QVERIFY(!form->statusMonitor());
    }

    void deviceDialogRefreshFindsThePhone()
    {
        m_adb->setDevicePresent(false);
        m_adb->setPhone(true, true);
        m_prompter->dialogAnswers << [this](QDialog &dialog) {
            auto *label = dialog.findChild<QLabel *>(QStringLiteral("Device"));
            button(dialog, "btnRefresh")->click();
            if (label->text() != QStringLiteral("Device: not found") || button(dialog, "btnOK")->isEnabled())
                return int(QDialog::Rejected);
            m_adb->setDevicePresent(true, QStringLiteral("127.0.0.1:5601"));
            button(dialog, "btnRefresh")->click();
            if (label->text() != QStringLiteral("Device: 127.0.0.1:5601") || !button(dialog, "btnOK")->isEnabled())
                return int(QDialog::Rejected);
            button(dialog, "btnOK")->click();
            return dialog.result();
        };
        auto form = start();
        QVERIFY(!appState().quitAfterStart);
        QCOMPARE(button(*form, "RootPanel")->text(), QStringLiteral("Root access: OK"));
    }

    void rootAndBusyboxShapeTheFrame_data()
    {
        QTest::addColumn<bool>("root");
        QTest::newRow("root and busybox") << true;
        QTest::newRow("neither") << false;
    }
    void rootAndBusyboxShapeTheFrame()
    {
        QFETCH(bool, root);
        m_adb->setPhone(root, root);
        auto form = start();
        QVERIFY(!appState().quitAfterStart);
        QCOMPARE(appState().rootAccess, root);
        QCOMPARE(appState().busyboxPresent, root);
        QCOMPARE(button(*form, "RootPanel")->text(),
                 root ? QStringLiteral("Root access: OK") : QStringLiteral("Root access: NO"));
        // The applications manager needs no root: the package manager lists what the folders hide.
        QVERIFY(hasAppsTab(*form));
        for (const char *name : {"flashAction", "powerOffAction", "powerOffSeparator"})
            QVERIFY2(action(*form, name)->isVisible() == root, name);
        QVERIFY(action(*form, "Reboot1")->isVisible());
        QVERIFY(action(*form, "RebootRecovery1")->isVisible());
        QVERIFY(form->statusMonitor());
    }

    void storageChoiceIsAskedOnceAndKeptOnThePc()
    {
        m_adb->setPhone(true, true);
        m_adb->setShell(QStringLiteral("ls -a \"/sdcard/\" | cat"), QString());
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            if (dialog.findChild<QPushButton *>(QStringLiteral("btnCancel"))->isVisibleTo(&dialog))
                return int(QDialog::Rejected);
            dialog.findChild<QRadioButton *>(QStringLiteral("Apps2SdOption3"))->setChecked(true);
            return int(QDialog::Accepted);
        };
        auto form = start();
        QCOMPARE(m_prompter->dialogs, QStringList{"Apps2SdForm"});
        // Nothing is written to the phone: the choice stays with the settings, for this phone.
        QVERIFY2(m_adb->calls().filter(QStringLiteral(" > ")).isEmpty(), qPrintable(m_adb->calls().join(u'\n')));
        QCOMPARE(readAppStorageOption(appState().settingsFile, QStringLiteral("HT9CPP800123")), 3);
        QCOMPARE(appStorage().appStorageMode, AppStorageType::SdExt);
        QCOMPARE(appStorage().appDir, QStringLiteral("/sd-ext/app/"));
        QVERIFY(!form->findChild<QWidget *>(QStringLiteral("AppsSourcePanel"))->isHidden());

        // The next start does not ask again; another phone is asked.
        form.reset();
        appStorage() = AppStorage{};
        start();
        QCOMPARE(m_prompter->dialogs, QStringList{"Apps2SdForm"});
        QCOMPARE(appStorage().appStorageMode, AppStorageType::SdExt);
        m_adb->setDevicePresent(true, QStringLiteral("SH0AXPL01234"));
        start();
        QCOMPARE(m_prompter->dialogs, (QStringList{"Apps2SdForm", "Apps2SdForm"}));
    }

    void monitorShowsTheDialogAndExitEndsTheLoop()
    {
        m_adb->setPhone(true, true);
        auto form = start();
        QVERIFY(form->statusMonitor());
        form->show();
        m_adb->setDevicePresent(false);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
        const int result = QCoreApplication::exec();
        QCOMPARE(result, 0);
        QCOMPARE(m_prompter->dialogs, QStringList{"DeviceForm"});
        form->stopMonitor();
        QVERIFY(form->statusMonitor()->isFinished());
        // Exit from inside the monitor's dialog still kept the settings.
        const QSettings settings(m_home->filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QVERIFY(settings.contains(QStringLiteral("Window/Width")));
    }

    void severalDevicesAreChosenFromAndWatched()
    {
        m_adb->setPhone(true, true);
        const QString phone = QStringLiteral("HT9CPP800123");
        const QString emulator = QStringLiteral("emulator-5554");
        m_adb->setDevices({{phone, QStringLiteral("device")}, {emulator, QStringLiteral("device")}});
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("DeviceList"));
            if (!list || list->isHidden() || list->topLevelItemCount() != 2 || button(dialog, "btnOK")->isEnabled())
                return int(QDialog::Rejected);
            list->setCurrentItem(list->topLevelItem(1));
            button(dialog, "btnOK")->click();
            return dialog.result();
        };
        auto form = start();
        QVERIFY(!appState().quitAfterStart);
        QCOMPARE(qgetenv("ANDROID_SERIAL"), emulator.toUtf8());
        // The choice reaches every later adb through its environment; command lines stay as they were.
        QVERIFY(m_adb->callsWithSerial().contains(emulator + QStringLiteral("\tshell busybox")));
        QVERIFY2(form->windowTitle().endsWith(QStringLiteral(" - Pixel 6 (") + emulator + u')'),
                 qPrintable(form->windowTitle()));

        // The chosen one goes away while another is there: the title says so, and no window blocks the program
        // (the "Use phone" menu offers the choice).
        m_prompter->dialogs.clear();
        m_adb->setDevices({{phone, QStringLiteral("device")}});
        QTRY_VERIFY_WITH_TIMEOUT(form->windowTitle().contains(QStringLiteral("choose one in Phone > Use phone")), 5000);
        const auto polls = [this] { return m_adb->calls().count(QStringLiteral("devices")); };
        const qsizetype before = polls();
        QTRY_VERIFY_WITH_TIMEOUT(polls() >= before + 2, 5000);
        form->stopMonitor();
        QVERIFY(m_prompter->dialogs.isEmpty());
    }

    void networkConnectFailsInPlace()
    {
        m_adb->setPhone(true, true);
        auto form = start();
        // adb's server is busy connecting and lists nothing until the monitor has asked twice; then it fails.
        m_adb->setConnectScript(
            "n=$(grep -cx devices \"$d/calls.log\"); mv \"$d/devices\" \"$d/devices.away\"\n"
            "while [ \"$(grep -cx devices \"$d/calls.log\")\" -lt $((n + 2)) ]; do sleep 0.1; done\n"
            "mv \"$d/devices.away\" \"$d/devices\"\n"
            "echo \"failed to connect to '10.0.0.9:5555': No route to host\"\n");
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            dialog.findChild<QLineEdit *>(QStringLiteral("edtHost"))->setText(QStringLiteral("10.0.0.9"));
            return int(QDialog::Accepted);
        };
        form->findChild<QAction *>(QStringLiteral("connectNetworkAction"))->trigger();
        QCOMPARE(m_prompter->dialogs, QStringList{"NetworkPhoneDialog"});
        QCOMPARE(m_prompter->messages.last(),
                 QStringLiteral("info: failed to connect to '10.0.0.9:5555': No route to host"));
        // The phone in use stays the one commands go to, and no window asks for another.
        QCOMPARE(qgetenv("ANDROID_SERIAL"), QByteArray("HT9CPP800123"));
        const auto polls = [this] { return m_adb->calls().count(QStringLiteral("devices")); };
        const qsizetype before = polls();
        QTRY_VERIFY_WITH_TIMEOUT(polls() >= before + 2, 5000);
        QCOMPARE(m_prompter->dialogs, QStringList{"NetworkPhoneDialog"});
        QVERIFY2(form->windowTitle().endsWith(QStringLiteral(" - Pixel 6 (HT9CPP800123)")),
                 qPrintable(form->windowTitle()));
        form->stopMonitor();
    }

    void inheritedSerialIsHonouredWhenListed()
    {
        m_adb->setPhone(true, true);
        m_adb->setDevices({{QStringLiteral("HT9CPP800123"), QStringLiteral("device")},
                           {QStringLiteral("emulator-5554"), QStringLiteral("device")}});
        qputenv("ANDROID_SERIAL", "emulator-5554");
        auto form = start();
        QVERIFY(!appState().quitAfterStart);
        QVERIFY(m_prompter->dialogs.isEmpty());
        form->stopMonitor();

        // One that names no listed device is not: one phone works as without it.
        appState() = AppState{};
        qputenv("ANDROID_SERIAL", "gone-1");
        m_adb->setDevicePresent(true);
        auto second = start();
        QVERIFY(!appState().quitAfterStart);
        QVERIFY(m_prompter->dialogs.isEmpty());
        QVERIFY(!qEnvironmentVariableIsSet("ANDROID_SERIAL"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
