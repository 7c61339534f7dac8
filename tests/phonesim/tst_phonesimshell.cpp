// What each kind of simulated phone prints through Debian's real adb: its ls, df and shell errors, line
// ends, exit codes and the framebuffer. The exact texts are those the program compares against.

#include "common/phonesimfixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QStringList lines(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
}

void addProfiles()
{
    QTest::addColumn<QString>("profile");
    for (const char *p : {"legacy", "rooted", "modern"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

// Where pm keeps an application on the current phone: /data/app/~~<id>/<package>-<id>/base.apk.
QString modernApk(const PhoneSim &sim, const QString &package)
{
    const QDir apps(sim.hostPath(QStringLiteral("/data/app")));
    for (const QString &outer : apps.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString &dir : QDir(apps.filePath(outer)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (dir.startsWith(package + QLatin1Char('-')))
                return QStringLiteral("/data/app/%1/%2/base.apk").arg(outer, dir);
        }
    }
    return {};
}

} // namespace

class TestPhoneSimShell : public QObject {
    Q_OBJECT

private slots:
    void oldPhoneListings_data();
    void oldPhoneListings();
    void rootedBusyboxListings();
    void modernToyboxListings();
    void shellExitCodesAndLineEnds_data() { addProfiles(); }
    void shellExitCodesAndLineEnds();
    void framebuffer_data() { addProfiles(); }
    void framebuffer();
    void screencap_data() { addProfiles(); }
    void screencap();
    void entriesHiddenFromShell_data() { addProfiles(); }
    void entriesHiddenFromShell();
};

void TestPhoneSimShell::oldPhoneListings_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("busybox") << "busybox"
                             << "busybox: not found";
    QTest::newRow("ls -e") << "ls -e"
                           << "ls: Unknown option '-e'. Aborting.";
    QTest::newRow("ls --color") << "ls --color=never"
                                << "ls: Unknown option '--'. Aborting.";
    QTest::newRow("ls /data") << "ls  \"/data\""
                              << "opendir failed, Permission denied";
    QTest::newRow("missing") << "ls -l \"/nonexist\""
                             << "/nonexist: No such file or directory";
    QTest::newRow("df") << "df  \"/data\""
                        << "/data: 167424K total, 112240K used, 55184K available (block size 4096)";
}

void TestPhoneSimShell::oldPhoneListings()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    static PhoneSim *sim = nullptr;
    if (!sim) {
        sim = new PhoneSim(QStringLiteral("legacy"), true);
        connect(this, &QObject::destroyed, [] { delete sim; });
        PHONESIM_START(*sim);
    }
    sim->activate();
    auto r = sim->adb({QStringLiteral("shell"), command});
    QCOMPARE(r.trimmed(), expected);
    QVERIFY2(r.out.endsWith("\r\n"), "an old phone's terminal ends lines in CR LF");

    if (command == QStringLiteral("busybox")) {
        // Toolbox ls: 7 columns, no link count, folders and links without a size, no "total" line.
        auto listing = sim->adb({QStringLiteral("shell"), QStringLiteral("ls -l -a \"/sdcard/\"")}).text();
        const QRegularExpression file(QStringLiteral(R"(^-[-rwxsStT]{9} \S+ +\S+ +\d+ \d{4}-\d\d-\d\d \d\d:\d\d .+$)"));
        const QRegularExpression other(
            QStringLiteral(R"(^[dl][-rwxsStT]{9} \S+ +\S+ {10,}\d{4}-\d\d-\d\d \d\d:\d\d .+$)"));
        QStringList rows = lines(listing);
        QVERIFY(rows.size() > 10);
        for (const QString &row : rows)
            QVERIFY2(file.match(row).hasMatch() || other.match(row).hasMatch(), qPrintable(row));
        QCOMPARE(rows.filter(QRegularExpression(QStringLiteral(" DCIM$"))).size(), 1);
        auto root = sim->adb({QStringLiteral("shell"), QStringLiteral("ls -l -a \"/\"")}).text();
        QVERIFY2(root.contains(QStringLiteral(" sdcard -> /mnt/sdcard")), qPrintable(root));
        QVERIFY(root.contains(QStringLiteral(" mnt\r\n")));
    }
}

void TestPhoneSimShell::rootedBusyboxListings()
{
    PhoneSim sim(QStringLiteral("rooted"), true);
    PHONESIM_START(sim);
    auto full = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a -e \"/sdcard/\"")});
    QVERIFY(full.out.contains("\r\n"));
    const QRegularExpression fullDate(
        QStringLiteral(R"(^[-dl][-rwxsStT]{9} +\d+ \S+ +\S+ +\d+ \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4} .+$)"));
    QStringList rows = lines(full.text());
    QVERIFY(rows.size() > 10);
    for (const QString &row : rows)
        QVERIFY2(fullDate.match(row).hasMatch(), qPrintable(row));
    QVERIFY(!full.text().startsWith(QStringLiteral("total")));
    QCOMPARE(rows.filter(QRegularExpression(QStringLiteral(" Odd names$"))).size(), 1);

    auto shortDate =
        lines(sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a \"/sdcard/DCIM/Camera/\"")}).text());
    const QRegularExpression monthDay(QStringLiteral(R"( \w{3} [ \d]\d (\d\d:\d\d| \d{4}) IMG_\d+_\d+\.jpg$)"));
    QVERIFY(shortDate.size() == 6);
    for (const QString &row : shortDate.mid(2))
        QVERIFY2(monthDay.match(row).hasMatch(), qPrintable(row));

    auto plain = sim.adb({QStringLiteral("shell"), QStringLiteral("ls --color=never \"/sdcard/\"")}).text();
    QVERIFY(plain.contains(QStringLiteral("DCIM")) && !plain.contains(QLatin1Char('\033')));
    auto colored = sim.adb({QStringLiteral("shell"), QStringLiteral("ls --color=always \"/sdcard/\"")}).text();
    QVERIFY(colored.contains(QStringLiteral("\033[1;34mDCIM\033[0m")));

    QVERIFY(
        sim.adb({QStringLiteral("shell"), QStringLiteral("busybox")}).text().startsWith(QStringLiteral("BusyBox v")));
    auto df = lines(sim.adb({QStringLiteral("shell"), QStringLiteral("df  \"/data\"")}).text());
    QCOMPARE(df.size(), 2);
    QVERIFY(df[0].startsWith(QStringLiteral("Filesystem           1K-blocks      Used Available Use% Mounted on")));
    QVERIFY(df[1].endsWith(QStringLiteral("% /data")));
    // Root: /data can be read, and the ext partition is there for apps on the SD card.
    auto data = sim.adb({QStringLiteral("shell"), QStringLiteral("ls  \"/data\"")}).text();
    QVERIFY2(data.contains(QStringLiteral("app-private")), qPrintable(data));
    auto ext = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a \"/sd-ext/app/\"")}).text();
    QVERIFY2(ext.contains(QStringLiteral("com.example.notes-1.apk")), qPrintable(ext));
}

void TestPhoneSimShell::modernToyboxListings()
{
    PhoneSim sim(QStringLiteral("modern"), true);
    PHONESIM_START(sim);
    auto listing = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a \"/sdcard/\"")});
    QVERIFY(listing.text().startsWith(QStringLiteral("total ")));
    QVERIFY(!listing.out.contains('\r'));
    QVERIFY(listing.text().contains(QStringLiteral(" DCIM\n")));
    auto link = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -d /sdcard")}).text();
    QVERIFY2(link.contains(QStringLiteral("/sdcard -> /storage/emulated/0")), qPrintable(link));

    QVERIFY(sim.adb({QStringLiteral("shell"), QStringLiteral("ls -e")})
                .errText()
                .contains(QStringLiteral("Unknown option 'e'")));
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("busybox")}).errText(),
             QStringLiteral("/system/bin/sh: busybox: inaccessible or not found"));
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("ls  \"/data\"")}).errText(),
             QStringLiteral("ls: /data: Permission denied"));
    auto df = lines(sim.adb({QStringLiteral("shell"), QStringLiteral("df  \"/data\"")}).text());
    QCOMPARE(df.size(), 2);
    QVERIFY(df[0].startsWith(QStringLiteral("Filesystem")) && df[1].endsWith(QStringLiteral(" /data")));
    // Applications live in a folder per package.
    auto apk = modernApk(sim, QStringLiteral("com.example.notes"));
    QVERIFY2(
        QRegularExpression(QStringLiteral(R"(^/data/app/~~[\w-]{22}==/com\.example\.notes-[\w-]{22}==/base\.apk$)"))
            .match(apk)
            .hasMatch(),
        qPrintable(apk));
}

void TestPhoneSimShell::shellExitCodesAndLineEnds()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    bool modern = profile == QStringLiteral("modern");
    // Without the shell protocol adb cannot know the exit code and reports success.
    QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("exit 3")}).exitCode, modern ? 3 : 0);
    auto echo = sim.adb({QStringLiteral("shell"), QStringLiteral("echo one; echo two >&2")});
    if (modern) {
        QCOMPARE(echo.out, QByteArray("one\n"));
        QCOMPARE(echo.err, QByteArray("two\n"));
    } else {
        QCOMPARE(echo.out, QByteArray("one\r\ntwo\r\n"));
    }
    // The command text reaches the phone's sh exactly as sent.
    auto quoted = sim.adb({QStringLiteral("shell"), QStringLiteral("echo \"a  \\$b \\\"c\\\"\" 'd;e'")});
    QCOMPARE(quoted.trimmed(), QStringLiteral("a  $b \"c\" d;e"));
    QVERIFY(sim.journal().contains(QStringLiteral("shell: echo \"a  \\$b \\\"c\\\"\" 'd;e'")));
    // Binary content passes unchanged only where no terminal is involved.
    writeFile(sim.hostPath(QStringLiteral("/data/local/tmp/bin")), QByteArray("a\nb\0c", 5));
    auto cat = sim.adb({QStringLiteral("shell"), QStringLiteral("cat /data/local/tmp/bin")});
    QCOMPARE(cat.out, modern ? QByteArray("a\nb\0c", 5) : QByteArray("a\r\nb\0c", 6));
}

void TestPhoneSimShell::framebuffer()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    QString local = sim.workDir() + QStringLiteral("/screen.raw");
    auto r = sim.adb({QStringLiteral("pull"), QStringLiteral("/dev/graphics/fb0"), local});
    if (profile == QStringLiteral("modern")) {
        QCOMPARE(r.exitCode, 1);
        return;
    }
    QCOMPARE(r.exitCode, 0);
    QByteArray frame = readFile(local);
    // Two buffers of 480 x 800 with 4 bytes a pixel, and the kernel's description of them.
    QCOMPARE(frame.size(), 2 * 480 * 800 * 4);
    const int bpp = 4, width = 480;
    // The status bar at the top is black, the wallpaper below it is not.
    QCOMPARE(frame.mid(width / 2 * bpp, bpp), QByteArray(bpp, '\0'));
    QVERIFY(frame.mid((width * 100 + width / 2) * bpp, bpp) != QByteArray(bpp, '\0'));
    auto sysfs = sim.adb({QStringLiteral("shell"), QStringLiteral("cd /sys/class/graphics/fb0 && cat virtual_size "
                                                                  "bits_per_pixel stride pan")});
    QCOMPARE(sysfs.out, profile == QStringLiteral("rooted") ? QByteArray("480,1600\r\n32\r\n1920\r\n0,0\r\n")
                                                            : QByteArray("480,1600\r\n32\r\n1920\r\n0,800\r\n"));
}

void TestPhoneSimShell::screencap()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    auto raw = sim.adb({QStringLiteral("exec-out"), QStringLiteral("screencap")});
    if (profile == QStringLiteral("legacy")) {
        // Android 2.2 has no screencap: the program must fall back to the framebuffer.
        QVERIFY(raw.exitCode != 0 || raw.out.contains("not found"));
        return;
    }
    if (profile == QStringLiteral("rooted")) {
        // 2.3 has screencap but no exec service: through a file, with the header of its time.
        QVERIFY(raw.out.isEmpty());
        sim.adb({QStringLiteral("shell"), QStringLiteral("screencap /data/local/tmp/s.raw")});
        const QByteArray old = readFile(sim.hostPath(QStringLiteral("/data/local/tmp/s.raw")));
        QCOMPARE(old.size(), 12 + 480 * 800 * 4);
        QCOMPARE(qFromLittleEndian<quint32>(old.constData()), 480u);
        QCOMPARE(qFromLittleEndian<quint32>(old.constData() + 8), 1u);
        QCOMPARE(old.mid(12, 4), readFile(sim.hostPath(QStringLiteral("/dev/graphics/fb0"))).left(3) + '\xff');
        return;
    }
    QCOMPARE(raw.exitCode, 0);
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(raw.out.constData() + at); };
    QCOMPARE(u32(0), 540u);
    QCOMPARE(u32(4), 1170u);
    QCOMPARE(u32(8), 1u); // RGBA_8888
    QCOMPARE(raw.out.size(), 16 + 540 * 1170 * 4);
    QVERIFY(sim.journal().contains(QStringLiteral("exec: screencap")));

    // The PNG shows the same pixels, opaque; a terminal's CR LF must not touch it.
    auto png = sim.adb({QStringLiteral("exec-out"), QStringLiteral("screencap -p")});
    QImage image = QImage::fromData(png.out, "PNG");
    QCOMPARE(image.size(), QSize(540, 1170));
    for (QPoint p : {QPoint(0, 0), QPoint(270, 10), QPoint(100, 600), QPoint(539, 1169)}) {
        const auto *px = reinterpret_cast<const uchar *>(raw.out.constData()) + 16 + (p.y() * 540 + p.x()) * 4;
        QCOMPARE(image.pixel(p), qRgba(px[0], px[1], px[2], 255));
    }
    // The status bar is black, the wallpaper is not.
    QCOMPARE(image.pixel(270, 5), qRgb(0, 0, 0));
    QVERIFY(image.pixel(270, 200) != qRgb(0, 0, 0));

    // With a file name: PNG by its extension, raw otherwise.
    sim.adb({QStringLiteral("shell"), QStringLiteral("screencap /sdcard/s.png; screencap /sdcard/s.raw")});
    QCOMPARE(QImage(sim.hostPath(QStringLiteral("/storage/emulated/0/s.png"))), image);
    QCOMPARE(readFile(sim.hostPath(QStringLiteral("/storage/emulated/0/s.raw"))), raw.out);
}

void TestPhoneSimShell::entriesHiddenFromShell()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    const QRegularExpression row(QStringLiteral(R"(^[-dlcb][-rwxsStT]{9} .* \d{4}-\d\d-\d\d \d\d:\d\d .+$)"));
    if (profile == QStringLiteral("legacy")) {
        // Android 2.2 had no SELinux: the shell stats every entry of "/", /init too, though it may not read it.
        auto r = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l /")});
        const QStringList rows = lines(r.text());
        QVERIFY(rows.size() > 10);
        for (const QString &line : rows)
            QVERIFY2(row.match(line).hasMatch(), qPrintable(line));
        const QRegularExpression init(QStringLiteral(R"(^-rwxr-x--- root +root +\d+ \S+ \S+ init\r?$)"),
                                      QRegularExpression::MultilineOption);
        QVERIFY2(init.match(r.text()).hasMatch(), qPrintable(r.text()));
        QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("cat /init")}).trimmed(),
                 QStringLiteral("cat: /init: Permission denied"));
    } else if (profile == QStringLiteral("modern")) {
        // toybox prints what SELinux hides as rows of "?"; the listing itself succeeds.
        auto r = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a /")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QStringList rows = lines(r.text());
        QVERIFY(rows.takeFirst().startsWith(QStringLiteral("total ")));
        const QRegularExpression unknown(QStringLiteral(R"(^([dl])\?{9} +\? \? +\? +\? +\? (.+)$)"));
        QStringList hidden;
        for (const QString &line : rows) {
            auto m = unknown.match(line);
            if (m.hasMatch())
                hidden << m.captured(1) + m.captured(2);
            else
                QVERIFY2(row.match(line).hasMatch(), qPrintable(line));
        }
        QCOMPARE(hidden, (QStringList{QStringLiteral("lcache -> ?"), QStringLiteral("dmetadata")}));
        auto inside = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a /metadata/")});
        QCOMPARE(inside.exitCode, 1);
        QCOMPARE(inside.errText(), QStringLiteral("ls: /metadata/: Permission denied"));
        QCOMPARE(sim.adb({QStringLiteral("shell"), QStringLiteral("ls /cache/")}).errText(),
                 QStringLiteral("ls: /cache/: Permission denied"));
    } else {
        // Root sees everything.
        auto listing = sim.adb({QStringLiteral("shell"), QStringLiteral("ls -l -a -e /")}).text();
        QVERIFY(!listing.contains(QLatin1Char('?')) && !listing.contains(QStringLiteral("failed")));
        QVERIFY2(listing.contains(QStringLiteral(" init\r\n")), qPrintable(listing));
    }
}

QTEST_GUILESS_MAIN(TestPhoneSimShell)
#include "tst_phonesimshell.moc"
