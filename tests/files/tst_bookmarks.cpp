#include "common/testfiles.h"
#include "base/bookmarks.h"

#include <QTemporaryDir>
#include <QTest>

class TestBookmarks : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void addingKeepsDuplicatesAndSharesTheDeviceList()
    {
        BookmarkLists lists(m_dir->path());
        lists.load();
        QVERIFY(lists.pcItems().isEmpty() && lists.deviceItems().isEmpty());
        QVERIFY(lists.add(BookmarkLists::Device1, QStringLiteral("/sdcard/")));
        QVERIFY(lists.add(BookmarkLists::Device2, QStringLiteral("/sdcard/")));
        QVERIFY(lists.add(BookmarkLists::Pc, QStringLiteral("/home/u/Müsik/")));
        QCOMPARE(lists.items(BookmarkLists::Device1), (QStringList{"/sdcard/", "/sdcard/"}));
        QCOMPARE(lists.items(BookmarkLists::Device2), lists.items(BookmarkLists::Device1));
        QCOMPARE(readAll(path("bookmarks2.txt")), QByteArray("/sdcard/\r\n/sdcard/\r\n"));
        QCOMPARE(readAll(path("bookmarks1.txt")), QByteArray("/home/u/Müsik/\r\n"));

        BookmarkLists again(m_dir->path());
        again.load();
        QCOMPARE(again.deviceItems(), lists.deviceItems());
        QCOMPARE(again.pcItems(), lists.pcItems());
    }

    void aLineBreakCannotSplitABookmark()
    {
        BookmarkLists lists(m_dir->path());
        QVERIFY(lists.add(BookmarkLists::Device1, QStringLiteral("/a\nb/")));
        lists.load();
        QCOMPARE(lists.deviceItems(), QStringList{"/a b/"});
    }

    void writeFailuresAreReported()
    {
        QVERIFY(writeAll(path("blocked"), "a file where the folder should be"));
        BookmarkLists lists(path("blocked"));
        QVERIFY(!lists.add(BookmarkLists::Pc, QStringLiteral("/x/")));
        QCOMPARE(lists.pcItems(), QStringList{"/x/"});
        QVERIFY(!lists.remove(BookmarkLists::Pc, QStringLiteral("/x/")));
    }
};

QTEST_GUILESS_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
