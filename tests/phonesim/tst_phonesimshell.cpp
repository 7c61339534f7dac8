// What each kind of simulated phone prints through Debian's real adb: its ls, df and shell errors, line
// ends and exit codes. The exact texts are those the program compares against.

#include "common/phonesimfixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <map>
#include <memory>

namespace {

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

} // namespace

class TestPhoneSimShell : public QObject {
    Q_OBJECT

    // One seeded phone of each kind for the rows that only read; gone with the test object.
    std::map<QString, std::unique_ptr<PhoneSim>> m_phones;
    PhoneSim &seededPhone(const QString &profile)
    {
        std::unique_ptr<PhoneSim> &phone = m_phones[profile];
        if (!phone)
            phone = std::make_unique<PhoneSim>(profile, true);
        return *phone;
    }

private slots:
    void shellAnswers_data();
    void shellAnswers();
    void listings_data();
    void listings();
    void shellExitCodesAndLineEnds_data() { addProfiles(); }
    void shellExitCodesAndLineEnds();
    void modernHidesEntriesFromTheShell();
};

void TestPhoneSimShell::shellAnswers_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected"); // both streams, trimmed
    const auto row = [](const char *name, const char *profile, const char *command, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(profile) << QString::fromUtf8(command) << QString::fromUtf8(expected);
    };
    row("legacy missing", "legacy", "ls -l \"/nonexist\"", "/nonexist: No such file or directory");
    row("legacy df", "legacy", "df  \"/data\"",
        "/data: 167424K total, 112240K used, 55184K available (block size 4096)");
    // Android 2.2 had no SELinux: the shell sees /init but may not read it.
    row("legacy cat /init", "legacy", "cat /init", "cat: /init: Permission denied");
}

void TestPhoneSimShell::shellAnswers()
{
    QFETCH(QString, profile);
    QFETCH(QString, command);
    QFETCH(QString, expected);
    PhoneSim &sim = seededPhone(profile);
    if (!sim.isRunning())
        PHONESIM_START(sim);
    sim.activate();
    const PhoneSim::Result r = sim.adb({"shell", command});
    QCOMPARE(r.all(), expected);
    // An old phone's terminal mixes both streams and ends lines in CR LF; toybox complains on stderr.
    if (profile == QStringLiteral("legacy"))
        QVERIFY(r.out.endsWith("\r\n"));
    else
        QCOMPARE(r.out, QByteArray());
}

void TestPhoneSimShell::listings_data()
{
    // Each line of the answer matches the row pattern (%1 stands for the permissions); the answer holds a
    // line the second pattern matches.
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("holds");
    const auto row = [](const char *name, const char *profile, const char *command, const char *pattern,
                        const char *holds) {
        QTest::newRow(name) << QString::fromUtf8(profile) << QString::fromUtf8(command) << QString::fromUtf8(pattern)
                            << QString::fromUtf8(holds);
    };
    // Toolbox ls: 7 columns, no link count, folders and links without a size, no "total" line.
    row("legacy toolbox", "legacy", "ls -l -a \"/sdcard/\"",
        R"(^(-%1 \S+ +\S+ +\d+ |[dl]%1 \S+ +\S+ {10,})\d{4}-\d\d-\d\d \d\d:\d\d .+$)", R"( DCIM$)");
    // Android 2.2 had no SELinux: the shell stats every entry of "/", /init too.
    row("legacy root", "legacy", "ls -l -a /", R"(^[-dlcb]%1 .* \d{4}-\d\d-\d\d \d\d:\d\d .+$)",
        R"(^-rwxr-x--- root +root +\d+ \S+ \S+ init$)");
    row("legacy sdcard link", "legacy", "ls -l -a /", ".*", " sdcard -> /mnt/sdcard$");
    row("rooted busybox -e", "rooted", "ls -l -a -e \"/sdcard/\"",
        R"(^[-dl]%1 +\d+ \S+ +\S+ +\d+ \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4} .+$)", " Odd names$");
    row("rooted busybox short dates", "rooted", "ls -l -a \"/sdcard/DCIM/Camera/\"",
        R"(^[-d]%1 .* \w{3} [ \d]\d (\d\d:\d\d| \d{4}) (IMG_\d+_\d+\.jpg|\.\.?)$)", "IMG_");
    // Root sees everything.
    row("rooted busybox root", "rooted", "ls -l -a -e /", R"(^[^?]+$)", " init$");
    row("rooted colours", "rooted", "ls --color=always \"/sdcard/\"", ".*", R"(\x1b\[1;34mDCIM\x1b\[0m)");
    row("rooted no colours", "rooted", "ls --color=never \"/sdcard/\"", R"(^[^\x1b]*$)", "DCIM");
    row("rooted df", "rooted", "df  \"/data\"",
        R"(^(Filesystem +1K-blocks +Used Available Use% Mounted on|\S+ +\d+ +\d+ +\d+ +\d+% /data)$)", "% /data$");
    row("modern toybox", "modern", "ls -l -a \"/sdcard/\"", R"(^(total \d+|[-dl]%1 .* \d{4}-\d\d-\d\d \d\d:\d\d .+)$)",
        " DCIM$");
    row("modern df", "modern", "df  \"/data\"", R"(^(Filesystem .*|.* /data)$)", " /data$");
}

void TestPhoneSimShell::listings()
{
    QFETCH(QString, profile);
    QFETCH(QString, command);
    QFETCH(QString, row);
    QFETCH(QString, holds);
    PhoneSim &sim = seededPhone(profile);
    if (!sim.isRunning())
        PHONESIM_START(sim);
    sim.activate();
    const PhoneSim::Result r = sim.adb({"shell", command});
    // Old phones' terminals end lines in CR LF, current phones print what the command wrote.
    QCOMPARE(r.out.contains('\r'), profile != QStringLiteral("modern"));
    QCOMPARE(r.out.count('\r'), profile == QStringLiteral("modern") ? 0 : r.out.count('\n'));
    const QStringList rows = lines(r.text());
    QVERIFY(!rows.isEmpty());
    const QRegularExpression pattern(row.contains(QStringLiteral("%1")) ? row.arg(QStringLiteral("[-rwxsStT]{9}"))
                                                                        : row);
    for (const QString &line : rows)
        QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
    const QRegularExpression wanted(holds, QRegularExpression::MultilineOption);
    QVERIFY2(!rows.filter(wanted).isEmpty(), qPrintable(r.text()));
}

void TestPhoneSimShell::shellExitCodesAndLineEnds()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile);
    PHONESIM_START(sim);
    bool modern = profile == QStringLiteral("modern");
    // Without the shell protocol adb cannot know the exit code and reports success.
    QCOMPARE(sim.adb({"shell", "exit 3"}).exitCode, modern ? 3 : 0);
    auto echo = sim.adb({"shell", "echo one; echo two >&2"});
    if (modern) {
        QCOMPARE(echo.out, QByteArray("one\n"));
        QCOMPARE(echo.err, QByteArray("two\n"));
    } else {
        QCOMPARE(echo.out, QByteArray("one\r\ntwo\r\n"));
    }
    // The command text reaches the phone's sh exactly as sent.
    auto quoted = sim.adb({"shell", "echo \"a  \\$b \\\"c\\\"\" 'd;e'"});
    QCOMPARE(quoted.trimmed(), QStringLiteral("a  $b \"c\" d;e"));
    QVERIFY(sim.journal().contains(QStringLiteral("shell: echo \"a  \\$b \\\"c\\\"\" 'd;e'")));
    // Binary content passes unchanged only where no terminal is involved.
    writeFile(sim.hostPath(QStringLiteral("/data/local/tmp/bin")), QByteArray("a\nb\0c", 5));
    auto cat = sim.adb({"shell", "cat /data/local/tmp/bin"});
    QCOMPARE(cat.out, modern ? QByteArray("a\nb\0c", 5) : QByteArray("a\r\nb\0c", 6));
}

// toybox prints what SELinux hides as rows of "?"; the listing itself succeeds.
void TestPhoneSimShell::modernHidesEntriesFromTheShell()
{
    PhoneSim sim(QStringLiteral("modern"));
    PHONESIM_START(sim);
    const QRegularExpression row(QStringLiteral(R"(^[-dlcb][-rwxsStT]{9} .* \d{4}-\d\d-\d\d \d\d:\d\d .+$)"));
    auto r = sim.adb({"shell", "ls -l -a /"});
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
    auto inside = sim.adb({"shell", "ls -l -a /metadata/"});
    QCOMPARE(inside.exitCode, 1);
    QCOMPARE(inside.errText(), QStringLiteral("ls: /metadata/: Permission denied"));
}

QTEST_GUILESS_MAIN(TestPhoneSimShell)
#include "tst_phonesimshell.moc"
