#include "apps/catalogue.h"

#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCatalogue : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_list;

private slots:
    void init()
    {
        m_list = m_dir.path() + QStringLiteral("/list.a");
        QFile::remove(m_list);
    }

    void readsTheOlderFormatAndRoundTrips()
    {
        // Older files: key;label with CR LF, labels holding ";", a label-less record, no final line break,
        // a later record for a key that was appended after an earlier one.
        QVERIFY(writeAll(m_list, "com.a-1.apk;Alpha; the app\r\n"
                                 "com.b.apk;\r\n"
                                 "com.c-2.apk;com.c-2.apk\r\n"
                                 "com.a-1.apk;Alpha 2\r\n"
                                 "com.d.apk;Last"));
        AppCatalogue catalogue = AppCatalogue::forDataDir(m_dir.path());
        QVERIFY(catalogue.load());
        QCOMPARE(catalogue.records().size(), 4);
        QCOMPARE(catalogue.find(QStringLiteral("com.a-1.apk"))->label, QStringLiteral("Alpha 2"));
        QVERIFY(catalogue.find(QStringLiteral("com.b.apk"))->label.isEmpty());
        QCOMPARE(catalogue.find(QStringLiteral("com.d.apk"))->label, QStringLiteral("Last"));
        // Exact keys: neither a prefix nor a longer key matches.
        QVERIFY(!catalogue.find(QStringLiteral("com.a-1.ap")));
        QVERIFY(!catalogue.find(QStringLiteral("com.d.apkx")));

        QVERIFY(catalogue.put({QStringLiteral("com.e.apk"), QStringLiteral("E; with: colon"), QStringLiteral("12")}));
        QVERIFY(catalogue.put({QStringLiteral("com.b.apk"), QStringLiteral("Bravo"), QStringLiteral("3")}));
        QVERIFY(catalogue.save());
        QCOMPARE(readAll(m_list), QByteArray("com.a-1.apk;Alpha 2\r\n"
                                             "com.b.apk/3;Bravo\r\n"
                                             "com.c-2.apk;com.c-2.apk\r\n"
                                             "com.d.apk;Last\r\n"
                                             "com.e.apk/12;E; with: colon\r\n"));

        AppCatalogue again = AppCatalogue::forDataDir(m_dir.path());
        QVERIFY(again.load());
        QCOMPARE(again.records().size(), 5);
        QCOMPARE(again.find(QStringLiteral("com.e.apk"))->label, QStringLiteral("E; with: colon"));
        QCOMPARE(again.find(QStringLiteral("com.e.apk"))->versionCode, QStringLiteral("12"));
        QCOMPARE(again.find(QStringLiteral("com.c-2.apk"))->versionCode, QString());
    }

    void corruptLinesAreKeptNotRead()
    {
        QVERIFY(writeAll(m_list, QByteArray("no separator here\r\n;label without key\r\nx.apk/1a;bad version\r\n"
                                            "ok.apk;Fine\r\n\r\n../evil.apk;E\r\npartial.apk;Cut sh") +
                                     QByteArray("\xE9t\xE9", 3)));
        AppCatalogue catalogue = AppCatalogue::forDataDir(m_dir.path());
        QVERIFY(catalogue.load());
        QCOMPARE(catalogue.records().size(), 2);
        QCOMPARE(catalogue.find(QStringLiteral("ok.apk"))->label, QStringLiteral("Fine"));
        // Not UTF-8: the older program's code page.
        QCOMPARE(catalogue.find(QStringLiteral("partial.apk"))->label, QString::fromUtf8("Cut shété"));
        QCOMPARE(catalogue.unreadableLines().size(), 4);
        QVERIFY(catalogue.put({QStringLiteral("new.apk"), QStringLiteral("New"), QString()}));
        QVERIFY(catalogue.save());
        const QByteArray saved = readAll(m_list);
        QVERIFY(saved.contains("no separator here\r\n"));
        QVERIFY(saved.contains("../evil.apk;E\r\n"));
        QVERIFY(saved.contains("new.apk;New\r\n"));
    }

    void keysNeverLeaveTheIconsFolder()
    {
        AppCatalogue catalogue(m_list, QStringLiteral("/data/icons"));
        QCOMPARE(catalogue.iconPath(QStringLiteral("com.x-1.apk")), QStringLiteral("/data/icons/com.x-1.apk.png"));
        for (const char *bad : {"", "../x.apk", "a/b.apk", "..", "a\\b.apk", "a;b.apk", "C:x.apk", "a\nb.apk"}) {
            QVERIFY2(catalogue.iconPath(QString::fromUtf8(bad)).isEmpty(), bad);
            QVERIFY2(!catalogue.put({QString::fromUtf8(bad), QStringLiteral("L"), QString()}), bad);
        }
        QVERIFY(!catalogue.put({QStringLiteral("ok.apk"), QStringLiteral("L"), QStringLiteral("-1")}));
        QVERIFY(catalogue.put({QStringLiteral("ok.apk"), QStringLiteral("two\r\nlines"), QString()}));
        QCOMPARE(catalogue.find(QStringLiteral("ok.apk"))->label, QStringLiteral("two  lines"));
    }

    void failuresAreReportedAndLoseNothing()
    {
        // A folder that cannot be written: save says so, with the file's name.
        QTemporaryDir locked;
        AppCatalogue catalogue(locked.path() + QStringLiteral("/missing/list.a"), locked.path());
        QVERIFY(catalogue.load());
        QVERIFY(catalogue.put({QStringLiteral("a.apk"), QStringLiteral("A"), QString()}));
        QVERIFY(!catalogue.save());
        QVERIFY(catalogue.errorString().contains(QStringLiteral("list.a")));

        // A list.a that cannot be read (here a folder in its place, which fails even for root) is never
        // replaced by a smaller one, even once the obstacle is gone.
        const QString blockedList = m_dir.path() + QStringLiteral("/blocked/list.a");
        QVERIFY(QDir().mkpath(blockedList));
        AppCatalogue blocked(blockedList, m_dir.path());
        QVERIFY(!blocked.load());
        QVERIFY(blocked.errorString().contains(QStringLiteral("list.a")));
        QVERIFY(!blocked.store({QStringLiteral("new.apk"), QStringLiteral("N"), QString()}));
        QVERIFY(QDir(blockedList).removeRecursively());
        QVERIFY(blocked.put({QStringLiteral("new.apk"), QStringLiteral("N"), QString()}));
        QVERIFY(!blocked.save());
        QVERIFY(!QFile::exists(blockedList));
    }

    void storeKeepsAnotherWritersRecords()
    {
        AppCatalogue first = AppCatalogue::forDataDir(m_dir.path());
        AppCatalogue second = AppCatalogue::forDataDir(m_dir.path());
        QVERIFY(first.load());
        QVERIFY(second.load());
        QVERIFY(first.store({QStringLiteral("a.apk"), QStringLiteral("A"), QString()}));
        QVERIFY(second.store({QStringLiteral("b.apk"), QStringLiteral("B"), QStringLiteral("2")}));
        QCOMPARE(readAll(m_list), QByteArray("a.apk;A\r\nb.apk/2;B\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
