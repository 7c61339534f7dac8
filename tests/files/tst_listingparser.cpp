#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "bridge/listingparser.h"

#include <QFile>
#include <QTest>

namespace {

QString text(const std::optional<ListItem> &item)
{
    return item ? item->toText() : QStringLiteral("<no row>");
}

QStringList rowNames(const QList<ListItem> &rows)
{
    QStringList names;
    for (const ListItem &r : rows)
        names << r.name;
    return names;
}

// What listFolder prints: ls's lines, then the shell's end marker.
QString ended(const QString &lsOutput, int status = 0, const QString &eol = QStringLiteral("\n"))
{
    return lsOutput + QStringLiteral("[velbrook-end:") + QString::number(status) + u']' + eol;
}

DeviceListing parse(const QString &output, bool shortForm = true, DeviceSort sort = DeviceSort::Name,
                    const QSet<QString> *names = nullptr)
{
    return parseDeviceListing(output, QStringLiteral("/x/"), shortForm, sort, names);
}

} // namespace

class TestListingParser : public QObject {
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("shortForm");
        QTest::addColumn<QString>("row");
        QTest::newRow("padded owner columns") << "-rw-r--r-- system   sdcard_rw     8192 2010-01-12 12:34 a b  c.txt"
                                              << true << "8192;12:34|2010-01-12;a b  c.txt;a b  c.txt;";
        QTest::newRow("device node") << "crw-rw-rw- root     root      10,   1 2010-01-12 12:34 misc" << true
                                     << "1;12:34|2010-01-12;misc;misc;";
        QTest::newRow("pipe is no folder")
            << "prw------- root root 2010-01-12 12:34 fifo" << true << "0;12:34|2010-01-12;fifo;fifo;";
        QTest::newRow("long file")
            << "-rw-r--r--    1 root     root          1234 Tue Jan  5 08:04:03 2010 my notes.txt" << false
            << "1234;08:04:03|05-01-2010;my notes.txt;my notes.txt;";
        QTest::newRow("long link")
            << "lrwxrwxrwx    1 root     root            11 Sun Dec  6 11:09:41 2026 sdcard -> /mnt/sdcard" << false
            << "11;11:09:41|06-12-2026;sdcard@;sdcard@;";
        QTest::newRow("semicolons and blanks in the name")
            << "-rw-rw-rw- root root 5 2010-01-12 12:34  lead;semi trail  " << true
            << "5;12:34|2010-01-12; lead;semi trail  ; lead;semi trail  ;";
        QTest::newRow("link without arrow")
            << "lrwxrwxrwx root root 2010-01-12 12:34 odd" << true << "0;12:34|2010-01-12;odd@;odd@;";
        QTest::newRow("file named like a link")
            << "-rw-rw-rw- root root 7 2010-01-12 12:34 mail@" << true << "7;12:34|2010-01-12;mail@;mail@;";
        // One entry alone: toybox prints its link count without a "total" line to announce it.
        QTest::newRow("toybox link alone") << "lrwxrwxrwx 1 root root 19 2026-12-07 04:25 /sdcard -> /storage/x" << true
                                           << "19;04:25|2026-12-07;/sdcard@;/sdcard@;";
        // The old toolbox shows owners without a name as numbers: no link count for all that.
        QTest::newRow("toolbox numeric owners") << "-rw-r--r-- 1000 1000 5 2010-01-12 12:34 7 2010-01-12 x" << true
                                                << "5;12:34|2010-01-12;7 2010-01-12 x;7 2010-01-12 x;";
        QTest::newRow("toolbox numeric owners, device")
            << "crw-rw-rw- 1000 1000 10,   1 2010-01-12 12:34 misc" << true << "1;12:34|2010-01-12;misc;misc;";
        QTest::newRow("toolbox numeric owners, folder")
            << "drwxr-xr-x 1000 1000 2010-01-12 12:34 5 2010-01-12 12:34" << true
            << "0;12:34|2010-01-12;5 2010-01-12 12:34/;5 2010-01-12 12:34/;";
        QTest::newRow("total line") << "total 24" << false << "<no row>";
        QTest::newRow("too short") << "-rw-rw-rw- root root 5 2010-01-12 12:34" << true << "<no row>";
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(bool, shortForm);
        QFETCH(QString, row);
        QCOMPARE(text(parseListingLine(line, shortForm)), row);
    }

    void kindsComeFromTheModeColumn()
    {
        const DeviceListing listing =
            parse(ended(QStringLiteral("-rw-rw-rw- root root 7 2010-01-12 12:34 mail@\n"
                                       "-rw-rw-rw- root root 8 2010-01-12 12:34 mail\n"
                                       "-rw-rw-rw- root root 9 2010-01-12 12:34 endslash\\\n"
                                       "drwxrwxrwx root root 2010-01-12 12:34 endslash\n"
                                       "lrwxrwxrwx root root 2010-01-12 12:34 music -> /sdcard/Music\n"
                                       "prw------- root root 2010-01-12 12:34 fifo\n")));
        QVERIFY(listing.ok);
        QCOMPARE(rowNames(listing.rows), (QStringList{"endslash/", "endslash\\", "fifo", "mail", "mail@", "music@"}));
        const QList<ItemKind> kinds{ItemKind::Folder, ItemKind::File, ItemKind::Other,
                                    ItemKind::File,   ItemKind::File, ItemKind::Link};
        for (int i = 0; i < kinds.size(); ++i)
            QCOMPARE(listing.rows.at(i).kind, kinds.at(i));
        // The names commands act on: only the suffix the kind added goes.
        QCOMPARE(entryName(listing.rows.at(0)), QStringLiteral("endslash"));
        QCOMPARE(entryName(listing.rows.at(1)), QStringLiteral("endslash\\"));
        QCOMPARE(entryName(listing.rows.at(4)), QStringLiteral("mail@"));
        QCOMPARE(entryName(listing.rows.at(5)), QStringLiteral("music"));
    }

    void listingGroupsAndSorts()
    {
        const QString out = ended(QStringLiteral("drwxr-xr-x    2 root root  4096 Sun Dec  6 11:09:41 2026 .\r\n"
                                                 "drwxr-xr-x    2 root root  4096 Sun Dec  6 11:09:41 2026 ..\n"
                                                 "-rw-r--r--    1 root root   100 Sun Dec  6 11:09:41 2026 small\r"
                                                 "drwxr-xr-x    2 root root  4096 Mon Dec  7 11:09:41 2026 zeta\r\n"
                                                 "-rw-r--r--    1 root root 90000 Sat Dec  5 11:09:41 2026 big\r\n"
                                                 "drwxr-xr-x    2 root root  4096 Sat Dec  5 11:09:41 2026 Alpha\r\n"),
                                  0, QStringLiteral("\r\n"));
        QCOMPARE(rowNames(parse(out, false, DeviceSort::Name).rows), (QStringList{"Alpha/", "zeta/", "big", "small"}));
        QCOMPARE(rowNames(parse(out, false, DeviceSort::Date).rows), (QStringList{"zeta/", "Alpha/", "small", "big"}));
        QCOMPARE(rowNames(parse(out, false, DeviceSort::Size).rows), (QStringList{"Alpha/", "zeta/", "big", "small"}));
    }

    // Lines real phones put into a listing: none of them may cost the rows around them.
    void complaintsInsideAListing()
    {
        // Android 9 as the shell user: complaints before the "total" line.
        const DeviceListing android9 = parse(ended(
            QStringLiteral("ls: //init: Permission denied\n"
                           "ls: //ueventd.rc: Permission denied\n"
                           "total 60\n"
                           "drwxr-xr-x  14 root   root      0 2026-12-06 12:15 acct\n"
                           "lrw-r--r--   1 root   root     21 1970-01-01 00:00 sdcard -> /storage/self/primary\n")));
        QVERIFY(android9.ok);
        QCOMPARE(rowNames(android9.rows), (QStringList{"acct/", "sdcard@"}));
        QCOMPARE(android9.problems.size(), 2);
        QCOMPARE(listingNote(android9), QStringLiteral("2 entries could not be read"));

        // Android 6 toolbox: lstat complaints between the rows.
        const DeviceListing android6 =
            parse(ended(QStringLiteral("drwxr-xr-x root     root              2026-12-06 12:15 acct\r\n"
                                       "lstat '//init' failed: Permission denied\r\n"
                                       "-rw-r--r-- root     root          564 1970-01-01 00:00 default.prop\r\n"),
                        0, QStringLiteral("\r\n")));
        QCOMPARE(rowNames(android6.rows), (QStringList{"acct/", "default.prop"}));
        QCOMPARE(listingNote(android6), QStringLiteral("1 entry could not be read"));

        // Android 14 toybox: entries it may not stat are rows of unknown size and date.
        const DeviceListing android14 =
            parse(ended(QStringLiteral("total 44\n"
                                       "d?????????   ? ?      ?      ?      ? metadata\n"
                                       "l?????????   ? ?      ?      ?      ? cache -> ?\n"
                                       "drwxr-xr-x  14 root   root      0 2026-12-06 12:15 acct\n"
                                       "-rw-r--r--   1 root   root     12 2026-12-06 12:15 zz.txt\n"),
                        1),
                  true, DeviceSort::Size);
        QVERIFY(android14.ok);
        QCOMPARE(rowNames(android14.rows), (QStringList{"acct/", "metadata/", "zz.txt", "cache@"}));
        QCOMPARE(android14.rows.at(1).sizeText, QStringLiteral("?"));
        QCOMPARE(displayStamp(android14.rows.at(3).stamp), QStringLiteral("?"));
        QCOMPARE(listingNote(android14), QString());
    }

    void foldersThatCannotBeListed_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("error");
        QTest::newRow("old toolbox") << ended(QStringLiteral("opendir failed, Permission denied\r\n"), 1)
                                     << "Permission denied";
        QTest::newRow("toybox forbidden")
            << ended(QStringLiteral("ls: /x/: Permission denied\n"), 1) << "Permission denied";
        QTest::newRow("missing") << ended(QStringLiteral("/x/: No such file or directory\r\n"), 1)
                                 << "No such file or directory";
        QTest::newRow("a file") << ended(QStringLiteral("ls: /x/: Not a directory\n"), 1) << "Not a directory";
        // Standard error kept apart by the shell protocol arrives after the marker.
        QTest::newRow("complaint after the marker")
            << ended(QString(), 1) + QStringLiteral("ls: /x/: Not a directory\n") << "Not a directory";
        QTest::newRow("marker inside the complaint's line")
            << QStringLiteral("ls: /x/: Not a directory[velbrook-end:1]\n\n") << "Not a directory";
        // adb's own words instead of the listing, as adb 29 and as later clients print them.
        for (const char *prefix : {"error: ", "adb: "}) {
            for (const char *message : {"no devices/emulators found", "device offline", "more than one device/emulator",
                                        "device '127.0.0.1:5601' not found"})
                QTest::addRow("%s%s", prefix, message) << QLatin1String(prefix) + QLatin1String(message) + u'\n'
                                                       << QLatin1String(prefix) + QLatin1String(message);
            QTest::addRow("%sdevice unauthorized", prefix)
                << QLatin1String(prefix) + QStringLiteral("device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is "
                                                          "not set\nTry 'adb kill-server' if that seems wrong.\n"
                                                          "Otherwise check for a confirmation dialog on your device.\n")
                << QLatin1String(prefix) + QStringLiteral("device unauthorized.");
        }
        QTest::newRow("cut short") << QStringLiteral("drwxrwxrwx root root 2010-01-12 12:34 a\r\n")
                                   << "the listing ended before the phone finished it";
        QTest::newRow("nothing at all") << QString() << "the listing ended before the phone finished it";
    }
    void foldersThatCannotBeListed()
    {
        QFETCH(QString, output);
        QFETCH(QString, error);
        const DeviceListing listing = parse(output);
        QVERIFY(!listing.ok);
        QVERIFY(listing.rows.isEmpty());
        QCOMPARE(listing.error, error);
        QCOMPARE(listingNote(listing), QStringLiteral("Cannot open /x/: ") + error);
    }

    // A name may hold CR, LF or both. Through a terminal (old phones, CR LF lines) its LF shows as CR LF and
    // its CR as a lone CR; current phones print both as they are. Each name is a row of its own, never its twin.
    void namesWithLineBreaks_data()
    {
        QTest::addColumn<QString>("output");
        const QStringList printedThroughTerminal{"a\r\r\nb",       "a\r\nb",       "a\rb",     "two\r\nlines.txt",
                                                 "ends in lf\r\n", "ends in cr\r", "after.txt"};
        const QStringList printedPlain{"a\r\nb",       "a\nb",         "a\rb",     "two\nlines.txt",
                                       "ends in lf\n", "ends in cr\r", "after.txt"};
        const QString mode = QStringLiteral("-rw-rw-rw- root root 5 2010-01-12 12:34 ");
        QString terminal = QStringLiteral("drwxrwxrwx root root 2010-01-12 12:34 .\r\n");
        for (const QString &name : printedThroughTerminal)
            terminal += mode + name + QStringLiteral("\r\n");
        terminal += QStringLiteral("lrwxrwxrwx root root 2010-01-12 12:34 odd\r\nlink -> /sdcard\r\n");
        QTest::newRow("old phone") << ended(terminal, 0, QStringLiteral("\r\n"));
        QString plain = QStringLiteral("total 12\ndrwxrwxrwx 2 root root 4096 2010-01-12 12:34 .\n");
        for (const QString &name : printedPlain)
            plain += QStringLiteral("-rw-rw-rw- 1 root root 5 2010-01-12 12:34 ") + name + u'\n';
        plain += QStringLiteral("lrwxrwxrwx 1 root root 7 2010-01-12 12:34 odd\nlink -> /sdcard\n");
        QTest::newRow("current phone") << ended(plain);
    }
    void namesWithLineBreaks()
    {
        QFETCH(QString, output);
        const DeviceListing listing = parse(output);
        QVERIFY(listing.ok);
        QVERIFY2(listing.problems.isEmpty(), qPrintable(listing.problems.join(u'|')));
        QStringList names = rowNames(listing.rows);
        names.sort();
        QStringList expected{"a\r\nb",       "a\nb",         "a\rb",       "after.txt",
                             "ends in cr\r", "ends in lf\n", "odd\nlink@", "two\nlines.txt"};
        expected.sort();
        QCOMPARE(names, expected);
        QCOMPARE(displayName(listing.rows.at(rowNames(listing.rows).indexOf(QStringLiteral("a\rb")))),
                 QStringLiteral("a\\rb"));
    }

    // Lines that no phone prints together (CR LF beside a lone LF): a name that goes on to the next line
    // could hold a CR or an LF there, and is not shown at all rather than as its twin.
    void namesOfAnUnknownLineForm()
    {
        const DeviceListing listing = parse(ended(QStringLiteral("-rw-rw-rw- root root 5 2010-01-12 12:34 a\r\n"
                                                                 "-rw-rw-rw- root root 6 2010-01-12 12:34 one\rtwo\r\n"
                                                                 "-rw-rw-rw- root root 7 2010-01-12 12:34 c\n"),
                                                  0, QStringLiteral("\r\n")));
        QVERIFY(listing.ok);
        QCOMPARE(rowNames(listing.rows), (QStringList{"a", "c"}));
        QCOMPARE(listingNote(listing), QStringLiteral("1 entry could not be read"));
    }

    void aFailedListingShowsNoOtherFolder()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->answers.insert(QStringLiteral("adb shell ls -l -a \"/sdcard/dcim/\" 2>&1; echo \"[velbrook-end:$?]\""),
                               ended(QStringLiteral("garbage\n"), 1));
        const DeviceListing listing = listDeviceFolder(adb, QStringLiteral("/sdcard/dcim/"), true, DeviceSort::Name);
        QVERIFY(!listing.ok);
        QCOMPARE(listing.path, QStringLiteral("/sdcard/dcim/"));
        QCOMPARE(listing.error, QStringLiteral("garbage"));
        // One command: no walk up to a parent whose rows would stand under the child's address.
        QCOMPARE(runner->texts(), QStringList{"adb shell ls -l -a \"/sdcard/dcim/\" 2>&1; echo \"[velbrook-end:$?]\""});
    }

    // One file listed alone by each simulated phone, as a transfer's size probe asks: the old toolbox names
    // it without its folder, busybox (long form) and toybox with the path given; toybox prints no "total".
    void capturedSingleEntries_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<bool>("shortForm");
        QTest::addColumn<QString>("deviceName");
        QTest::newRow("legacy") << "legacy" << true << "null";
        QTest::newRow("rooted") << "rooted" << false << "/dev/null";
        QTest::newRow("modern") << "modern" << true << "/dev/null";
    }
    void capturedSingleEntries()
    {
        QFETCH(QString, profile);
        QFETCH(bool, shortForm);
        QFETCH(QString, deviceName);
        const QString dir = QStringLiteral(VB_TEST_DATA "/phonesim/") + profile;
        auto read = [&](const char *name) {
            QFile f(dir + (shortForm ? QStringLiteral("/ls-l-") : QStringLiteral("/ls-l-e-")) + QLatin1String(name));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        const QString file = read("file.txt");
        QVERIFY(!file.isEmpty());
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->defaultAnswer = file;
        QCOMPARE(listedFileSize(adb, QStringLiteral("/sdcard/DCIM/Camera/IMG_20100612_142233.jpg"), shortForm), 14722);
        QCOMPARE(runner->texts().constLast(),
                 (shortForm ? QStringLiteral("adb shell ls -l ") : QStringLiteral("adb shell ls -l -e ")) +
                     QStringLiteral("\"/sdcard/DCIM/Camera/IMG_20100612_142233.jpg\""));
        const std::optional<ListItem> device = parseListingLine(splitLines(read("device.txt")).value(0), shortForm);
        QVERIFY(device);
        QCOMPARE(device->kind, ItemKind::Other);
        QCOMPARE(device->name, deviceName);
        // A device, a folder's rows or a complaint are no file's size.
        runner->defaultAnswer = read("device.txt");
        QCOMPARE(listedFileSize(adb, QStringLiteral("/dev/null"), shortForm), -1);
        runner->defaultAnswer = QStringLiteral("ls: /sdcard/x: No such file or directory\n");
        QCOMPARE(listedFileSize(adb, QStringLiteral("/sdcard/x"), shortForm), -1);
    }
};

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listingparser.moc"
