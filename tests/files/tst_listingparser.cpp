#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "files/listingparser.h"

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
        names << r.Name;
    return names;
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
        QTest::newRow("short dir") << "drwxrwxrwx root root 2010-01-12 12:34 sdcard" << true
                                   << "0;12:34|2010-01-12;sdcard/;sdcard/;";
        QTest::newRow("short file") << "-rw-rw-rw- root root 1234 2010-01-12 12:34 notes.txt" << true
                                    << "1234;12:34|2010-01-12;notes.txt;notes.txt;";
        QTest::newRow("short link") << "lrwxrwxrwx root root 2010-01-12 12:34 sdcard -> /mnt/sdcard" << true
                                    << "0;12:34|2010-01-12;sdcard@;sdcard@;";
        QTest::newRow("padded owner columns")
            << "-rw-r--r-- system   sdcard_rw     8192 2010-01-12 12:34 a b  c.txt" << true
            << "8192;12:34|2010-01-12;a b  c.txt;a b  c.txt;";
        QTest::newRow("device node") << "crw-rw-rw- root     root      10,   1 2010-01-12 12:34 misc" << true
                                     << "1;12:34|2010-01-12;misc;misc;";
        QTest::newRow("pipe") << "prw------- root root 2010-01-12 12:34 fifo" << true
                              << "0;12:34|2010-01-12;fifo/;fifo/;";
        QTest::newRow("long file") << "-rw-r--r--    1 root     root          1234 Tue Jan  5 08:04:03 2010 my notes.txt"
                                   << false << "1234;08:04:03|05-01-2010;my notes.txt;my notes.txt;";
        QTest::newRow("long dir") << "drwxrwxr-x    2 system   sdcard_rw     4096 Sun Dec  6 11:09:41 2026 DCIM"
                                  << false << "4096;11:09:41|06-12-2026;DCIM/;DCIM/;";
        QTest::newRow("long link")
            << "lrwxrwxrwx    1 root     root            11 Sun Dec  6 11:09:41 2026 sdcard -> /mnt/sdcard" << false
            << "11;11:09:41|06-12-2026;sdcard@;sdcard@;";
        QTest::newRow("semicolons and blanks in the name")
            << "-rw-rw-rw- root root 5 2010-01-12 12:34  lead;semi trail  " << true
            << "5;12:34|2010-01-12; lead;semi trail  ; lead;semi trail  ;";
        QTest::newRow("link without arrow") << "lrwxrwxrwx root root 2010-01-12 12:34 odd" << true
                                            << "0;12:34|2010-01-12;@;@;";
        QTest::newRow("total line") << "total 24" << false << "<no row>";
        QTest::newRow("too short") << "-rw-rw-rw- root root 5 2010-01-12 12:34" << true << "<no row>";
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(bool, shortForm);
        QFETCH(QString, row);
        QCOMPARE(text(ParseListingLine(line, shortForm)), row);
    }

    void listingGroupsAndSorts()
    {
        const QString out = QStringLiteral(
            "drwxr-xr-x    2 root root  4096 Sun Dec  6 11:09:41 2026 .\r\n"
            "drwxr-xr-x    2 root root  4096 Sun Dec  6 11:09:41 2026 ..\n"
            "-rw-r--r--    1 root root   100 Sun Dec  6 11:09:41 2026 small\r"
            "drwxr-xr-x    2 root root  4096 Mon Dec  7 11:09:41 2026 zeta\r\n"
            "-rw-r--r--    1 root root 90000 Sat Dec  5 11:09:41 2026 big\r\n"
            "drwxr-xr-x    2 root root  4096 Sat Dec  5 11:09:41 2026 Alpha\r\n");
        QList<ListItem> rows;
        QVERIFY(ParseDeviceListing(out, QStringLiteral("/x/"), false, 0, rows));
        QCOMPARE(rowNames(rows), (QStringList{"Alpha/", "zeta/", "big", "small"}));
        QVERIFY(ParseDeviceListing(out, QStringLiteral("/x/"), false, 1, rows));
        QCOMPARE(rowNames(rows), (QStringList{"zeta/", "Alpha/", "small", "big"}));
        QVERIFY(ParseDeviceListing(out, QStringLiteral("/x/"), false, 2, rows));
        QCOMPARE(rowNames(rows), (QStringList{"Alpha/", "zeta/", "big", "small"}));
    }

    void toyboxListing()
    {
        const QString out = QStringLiteral("total 16\n"
                                           "drwxrwx--x 2 root sdcard_rw 4096 2026-12-06 12:15 .\n"
                                           "-rw-rw---- 1 u0_a57 sdcard_rw 1234 2026-12-05 09:07 my notes.txt\n"
                                           "crw-rw-rw- 1 root root 1,   3 2026-12-06 12:15 null\n");
        QList<ListItem> rows;
        QVERIFY(ParseDeviceListing(out, QStringLiteral("/x/"), true, 0, rows));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).toText(), QStringLiteral("1234;09:07|2026-12-05;my notes.txt;my notes.txt;"));
        QCOMPARE(rows.at(1).SizeText, QStringLiteral("3"));
    }

    void knownAnswersGiveAnEmptyList()
    {
        QList<ListItem> rows{ListItem{}};
        QVERIFY(ParseDeviceListing(QStringLiteral("opendir failed, Permission denied\r\n"), QStringLiteral("/data/"),
                                   true, 0, rows));
        QVERIFY(rows.isEmpty());
        QVERIFY(ParseDeviceListing(QStringLiteral("ls: /nope/: No such file or directory"), QStringLiteral("/nope/"),
                                   false, 0, rows));
        QVERIFY(ParseDeviceListing(QString(), QStringLiteral("/"), true, 0, rows));
        // Other wordings are failures: the pane then shows the parent.
        QVERIFY(!ParseDeviceListing(QStringLiteral("/nope/: No such file or directory"), QStringLiteral("/nope/"),
                                    true, 0, rows));
    }

    void failureFallsBackToTheParent()
    {
        auto runner = std::make_shared<RecordingRunner>();
        TADB adb(runner);
        runner->answers.insert(QStringLiteral("adb shell ls -l -a \"/sdcard/dcim/\""), QStringLiteral("garbage"));
        runner->answers.insert(QStringLiteral("adb shell ls -l -a \"/sdcard/\""),
                               QStringLiteral("drwxrwxrwx root root 2010-01-12 12:34 dcim\r\n"));
        const DeviceListing listing = ListDeviceFolder(adb, QStringLiteral("/sdcard/dcim/"), true, 0);
        QCOMPARE(listing.path, QStringLiteral("/sdcard/"));
        QCOMPARE(rowNames(listing.rows), QStringList{"dcim/"});

        // Nothing lists, not even "/": an empty list, and the walk stops there.
        runner->commands.clear();
        runner->defaultAnswer = QStringLiteral("garbage");
        runner->answers.clear();
        const DeviceListing none = ListDeviceFolder(adb, QStringLiteral("/a/b/"), false, 0);
        QCOMPARE(none.path, QStringLiteral("/"));
        QVERIFY(none.rows.isEmpty());
        QCOMPARE(runner->texts(), (QStringList{"adb shell ls -l -a -e \"/a/b/\"", "adb shell ls -l -a -e \"/a/\"",
                                               "adb shell ls -l -a -e \"/\""}));
    }

    // What the simulated old phones print, captured from them.
    void capturedListings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("shortForm");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("legacy sdcard") << "legacy/ls-l-a-sdcard.txt" << true << QStringList{"DCIM/", "Music/"};
        QTest::newRow("legacy odd names")
            << "legacy/ls-l-a-oddnames.txt" << true
            << QStringList{"dir with blanks/", "-dash dir/", "double\"quote.txt", "back\\slash.txt", "trailing space .txt"};
        QTest::newRow("legacy root") << "legacy/ls-l-a-root.txt" << true << QStringList{"sdcard@", "data/"};
        QTest::newRow("rooted sdcard") << "rooted/ls-l-a-e-sdcard.txt" << false << QStringList{"DCIM/", "Music/"};
        QTest::newRow("rooted odd names")
            << "rooted/ls-l-a-e-oddnames.txt" << false
            << QStringList{"dir with blanks/", "amp & pipe |.txt", "star*question?.txt", "-leading-dash.txt"};
        QTest::newRow("rooted root") << "rooted/ls-l-a-e-root.txt" << false << QStringList{"sdcard@", "sd-ext/"};
        // A current phone's toybox: a "total" line, then a link count after the mode.
        QTest::newRow("modern sdcard") << "modern/ls-l-a-sdcard.txt" << true << QStringList{"DCIM/", "Android/"};
        QTest::newRow("modern root") << "modern/ls-l-a-root.txt" << true << QStringList{"sdcard@", "etc@"};
    }
    void capturedListings()
    {
        QFETCH(QString, file);
        QFETCH(bool, shortForm);
        QFETCH(QStringList, expected);
        QFile f(QStringLiteral(VB_TEST_DATA "/phonesim/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<ListItem> rows;
        QVERIFY(ParseDeviceListing(QString::fromUtf8(f.readAll()), QStringLiteral("/x/"), shortForm, 0, rows));
        const QStringList names = rowNames(rows);
        for (const QString &name : expected)
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(u'|')));
        QVERIFY(!names.contains(QStringLiteral("./")));
        // Folders first, each row a record whose stamp has the form of its listing.
        int firstFile = 0;
        while (firstFile < rows.size() && IsDirName(rows.at(firstFile).Name))
            ++firstFile;
        for (int i = firstFile; i < rows.size(); ++i)
            QVERIFY(!IsDirName(rows.at(i).Name));
        for (const ListItem &row : rows)
            QVERIFY2(ParseItemStamp(row.Stamp, shortForm), qPrintable(row.Stamp));
    }

    void pathTabs()
    {
        QCOMPARE(FillPathTabs(QStringLiteral("/sdcard/dcim/")), (QStringList{"/", "sdcard", "dcim"}));
        QCOMPARE(FillPathTabs(QStringLiteral("/sdcard/foo")), (QStringList{"/", "sdcard"}));
        QCOMPARE(FillPathTabs(QStringLiteral("/")), QStringList{"/"});
    }
};

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listingparser.moc"
