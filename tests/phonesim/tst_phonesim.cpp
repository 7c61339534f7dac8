// The simulated phone through Debian's real adb: the features it announces, the sandbox's walls, where each kind of
// phone installs, what an old phone refuses, several streams at once, and hosts that go away. Installing,
// rebooting, unplugging and replugging are exercised by the program's own end-to-end tests.

#include "common/phonesimfixture.h"
#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void addProfiles()
{
    QTest::addColumn<QString>("profile");
    for (const char *p : {"legacy", "rooted", "modern"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

} // namespace

class TestPhoneSim : public QObject {
    Q_OBJECT

private slots:
    void featuresOfEachPhone_data() { addProfiles(); }
    void featuresOfEachPhone();
    void transferRefusals();
    void sandboxCannotBeLeft();
    void installLocations_data();
    void installLocations();
    void streamsOfCurrentPhones();
    void legacyRemountAndReboot();
    void concurrentStreams();
    void survivesHostDisconnect();
};

void TestPhoneSim::featuresOfEachPhone()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    // Only the current phone announces the features a current adb uses.
    auto features = sim.adb({QStringLiteral("features")}).text();
    QCOMPARE(features.contains(QStringLiteral("shell_v2")), profile == QStringLiteral("modern"));
}

void TestPhoneSim::transferRefusals()
{
    PhoneSim legacy(QStringLiteral("legacy"));
    PHONESIM_START(legacy);
    QString file = legacy.workDir() + QStringLiteral("/f.txt");
    writeAll(file, "x");
    // The shell user of an unrooted phone may not write to /data, and nobody writes to a read-only /system.
    auto data = legacy.adb({QStringLiteral("push"), file, QStringLiteral("/data/f.txt")});
    QCOMPARE(data.exitCode, 1);
    QVERIFY2(data.all().contains(QStringLiteral("Permission denied")), qPrintable(data.all()));
    auto system = legacy.adb({QStringLiteral("push"), file, QStringLiteral("/system/f.txt")});
    QVERIFY2(system.all().contains(QStringLiteral("Read-only file system")), qPrintable(system.all()));
    auto missing = legacy.adb({QStringLiteral("pull"), QStringLiteral("/sdcard/nonexist"), legacy.workDir()});
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.all(), QStringLiteral("adb: error: remote object '/sdcard/nonexist' does not exist"));
    // /data/local/tmp is where adb install puts APKs, so it stays writable.
    QCOMPARE(legacy.adb({QStringLiteral("push"), file, QStringLiteral("/data/local/tmp/f.txt")}).exitCode, 0);
}

void TestPhoneSim::sandboxCannotBeLeft()
{
    PhoneSim sim(QStringLiteral("rooted"));
    PHONESIM_START(sim);
    // An absolute link and ".." both stay inside the phone.
    QVERIFY(QFile::link(QStringLiteral("/"), sim.hostPath(QStringLiteral("/mnt/sdcard/escape"))));
    QString file = sim.workDir() + QStringLiteral("/f.txt");
    writeAll(file, "inside");
    QString target = QStringLiteral("/sdcard/escape/../../../../tmp/phonesim-escape-%1").arg(sim.port());
    QCOMPARE(sim.adb({QStringLiteral("push"), file, target}).exitCode, 0);
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/phonesim-escape-%1").arg(sim.port())));
    QCOMPARE(readAll(sim.hostPath(QStringLiteral("/tmp/phonesim-escape-%1").arg(sim.port()))), QByteArray("inside"));
    auto passwd = sim.adb({QStringLiteral("shell"), QStringLiteral("cat /sdcard/escape/etc/passwd")}).text();
    QVERIFY(passwd.contains(QStringLiteral("shell:x:2000:")));
    QString pulled = sim.workDir() + QStringLiteral("/passwd");
    QCOMPARE(sim.adb({QStringLiteral("pull"), QStringLiteral("/../../etc/passwd"), pulled}).exitCode, 0);
    QVERIFY(readAll(pulled).contains("sdcard_rw:x:1015:"));
}

void TestPhoneSim::installLocations_data()
{
    // Where pm puts an application depends on the phone and on the options: SD card containers (-s) and
    // forward locking (-l) on Android 2.2, the ext partition unless -f on the rooted phone.
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QStringList>("files");
    const auto row = [](const char *profile, const char *option, const QStringList &files) {
        QTest::addRow("%s %s", profile, option) << QString::fromLatin1(profile) << QString::fromLatin1(option) << files;
    };
    const QString x = QStringLiteral("org.velbrook.x-1.apk");
    row("legacy", "-s", {"/mnt/asec/org.velbrook.x-1/pkg.apk"});
    row("legacy", "-l", {"/data/app-private/" + x, "/data/dalvik-cache/data@app-private@" + x + "@classes.dex"});
    row("rooted", "-f", {"/data/app/" + x, "/data/dalvik-cache/data@app@" + x + "@classes.dex"});
    row("rooted", "-l", {"/sd-ext/app-private/" + x, "/sd-ext/dalvik-cache/sd-ext@app-private@" + x + "@classes.dex"});
}

void TestPhoneSim::installLocations()
{
    QFETCH(QString, profile);
    QFETCH(QString, option);
    QFETCH(QStringList, files);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    const QString apk = PhoneSim::buildApk(sim.workDir(), QStringLiteral("org.velbrook.x"), QStringLiteral("X"));
    const auto success = [&sim](const QStringList &arguments) {
        return sim.adb(arguments).text().contains(QStringLiteral("Success"));
    };
    QVERIFY(success({"install", option, apk}));
    for (const QString &file : files)
        QVERIFY2(QFile::exists(sim.hostPath(file)), qPrintable(file));
    // The shell user cannot read the private folder of an unrooted phone; pm refuses what is no APK.
    if (profile == QStringLiteral("legacy")) {
        QCOMPARE(sim.adb({"shell", "ls /data/app-private"}).trimmed(),
                 QStringLiteral("opendir failed, Permission denied"));
        QVERIFY(writeAll(sim.workDir() + QStringLiteral("/junk.apk"), "not a zip"));
        QVERIFY(sim.adb({"install", sim.workDir() + QStringLiteral("/junk.apk")})
                    .text()
                    .contains(QStringLiteral("Failure [INSTALL_FAILED_INVALID_APK]")));
    }
    // Replacing alternates between -1 and -2, as the old package manager did.
    if (option == QStringLiteral("-f")) {
        QVERIFY(success({"install", "-r", option, apk}));
        QVERIFY(QFile::exists(sim.hostPath(QString(files.first()).replace("-1.", "-2."))));
        QVERIFY(!QFile::exists(sim.hostPath(files.first())));
        return;
    }
    QVERIFY(success({"uninstall", "org.velbrook.x"}));
    for (const QString &file : files)
        QVERIFY2(!QFile::exists(sim.hostPath(file)), qPrintable(file));
}

void TestPhoneSim::streamsOfCurrentPhones()
{
    PhoneSim modern(QStringLiteral("modern"));
    PHONESIM_START(modern);
    // The shell protocol carries standard input and its end.
    auto cat = modern.adb({QStringLiteral("shell"), QStringLiteral("cat")}, 10000, "piped input\n");
    QCOMPARE(cat.text(), QStringLiteral("piped input\n"));

    PhoneSim legacy(QStringLiteral("legacy"));
    PHONESIM_START(legacy);
    auto old = legacy.adb({QStringLiteral("exec-out"), QStringLiteral("echo x")});
    QVERIFY(old.exitCode != 0 || old.out.isEmpty());
    // Something that does not speak adb gets dropped; the phone keeps serving adb.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(legacy.port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    const char junk[] = "GET / HTTP/1.0\r\n\r\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    QVERIFY(::write(fd, junk, sizeof junk) > 0);
    char buf[16];
    QCOMPARE(::read(fd, buf, sizeof buf), ssize_t(0));
    ::close(fd);
    QCOMPARE(legacy.adb({QStringLiteral("shell"), QStringLiteral("echo still")}).trimmed(), QStringLiteral("still"));
}

void TestPhoneSim::legacyRemountAndReboot()
{
    PhoneSim sim(QStringLiteral("legacy"));
    PHONESIM_START(sim);
    QCOMPARE(sim.adb({QStringLiteral("remount")}).trimmed(), QStringLiteral("remount failed: Operation not permitted"));
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("reboot")}).trimmed(),
             QStringLiteral("reboot: Operation not permitted"));
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("flash_image boot /sdcard/x.img")}).trimmed(),
             QStringLiteral("flash_image: not found"));
    QCOMPARE(sim.adb({QStringLiteral("get-state")}).trimmed(), QStringLiteral("device"));
    sim.adb({QStringLiteral("reboot")});
    // The simulator writes its journal on its own time: wait for the line rather than race it.
    QTRY_VERIFY(sim.journal().contains(QStringLiteral("reboot")));
    QVERIFY(sim.waitForState(QStringLiteral("device")));
}

void TestPhoneSim::concurrentStreams()
{
    PhoneSim sim(QStringLiteral("rooted"), true);
    PHONESIM_START(sim);
    std::vector<std::unique_ptr<QProcess>> shells;
    for (int i = 0; i < 4; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral("adb"), {QStringLiteral("shell"), QStringLiteral("sleep 0.5; echo %1").arg(i)});
        shells.push_back(std::move(p));
    }
    auto pull = sim.adb({QStringLiteral("pull"), QStringLiteral("/sdcard/Logs"), sim.workDir()});
    QVERIFY2(pull.text().contains(QStringLiteral("300 files pulled")), qPrintable(pull.text()));
    for (int i = 0; i < 4; ++i) {
        QVERIFY(shells[size_t(i)]->waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(shells[size_t(i)]->readAllStandardOutput()).trimmed(), QString::number(i));
    }
}

void TestPhoneSim::survivesHostDisconnect()
{
    PhoneSim sim(QStringLiteral("rooted"));
    PHONESIM_START(sim);
    QString big = sim.workDir() + QStringLiteral("/big.bin");
    QVERIFY(writeAll(big, QByteArray(4 << 20, 'x')));
    QString onPhone = sim.hostPath(QStringLiteral("/mnt/sdcard/big.bin"));

    // The adb server dies in the middle of a push.
    bool held = false;
    QVERIFY(sim.holdNextTransfer(1 << 20, [&held] { held = true; }));
    QProcess push;
    push.start(QStringLiteral("adb"), {QStringLiteral("push"), big, QStringLiteral("/sdcard/big.bin")});
    QTRY_VERIFY_WITH_TIMEOUT(held, 10000);
    sim.adb({QStringLiteral("kill-server")});
    sim.release(); // the stream may be gone with its host already
    push.waitForFinished(10000);
    QVERIFY(QFileInfo(onPhone).size() < 4 << 20);
    QVERIFY(sim.isRunning());
    QCOMPARE(sim.adb({QStringLiteral("start-server")}).exitCode, 0);
    QVERIFY(sim.adb({QStringLiteral("connect"), sim.serial()}).text().contains(QStringLiteral("connected")));
    QVERIFY(sim.waitForState(QStringLiteral("device")));

    // The client is killed in the middle of a pull; the same link goes on serving.
    QFile::remove(onPhone);
    QCOMPARE(sim.adb({QStringLiteral("push"), big, QStringLiteral("/sdcard/big.bin")}).exitCode, 0);
    held = false;
    QVERIFY(sim.holdNextTransfer(1 << 20, [&held] { held = true; }));
    QProcess pull;
    pull.start(QStringLiteral("adb"), {QStringLiteral("pull"), QStringLiteral("/sdcard/big.bin"),
                                       sim.workDir() + QStringLiteral("/back.bin")});
    QTRY_VERIFY_WITH_TIMEOUT(held, 10000);
    pull.kill();
    pull.waitForFinished(5000);
    sim.release(); // the stream may be gone with its host already
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("echo alive")}).trimmed(), QStringLiteral("alive"));
    QVERIFY(sim.isRunning());
}

QTEST_GUILESS_MAIN(TestPhoneSim)
#include "tst_phonesim.moc"
