#include "base/safefile.h"

#include "../common/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void readOnlyTargetIsLeftAsItWas();
    void fullDiskKeepsTheOldFile();
    void freeNamesCountUpBesideTheExtension();
};

void TestSafeFile::readOnlyTargetIsLeftAsItWas()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("screen.png"));
    QVERIFY(writeAll(target, "old picture"));
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    const FileWriteResult result = saveWholeFile(target, [](QIODevice &out) { return out.write("new") == 3; });
    QVERIFY(!result.ok);
    QVERIFY2(result.error.endsWith(QStringLiteral("permission denied")), qPrintable(result.error));
    QCOMPARE(readAll(target), QByteArray("old picture"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestSafeFile::fullDiskKeepsTheOldFile()
{
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath(QStringLiteral("small")));
    if (!disk.isValid())
        QSKIP("mounting a small file system needs root");
    const QString target = disk.path() + QStringLiteral("/backup.apk");
    QVERIFY(writeAll(target, "the user's own file"));

    const QByteArray big(256 * 1024, 'x');
    const FileWriteResult result =
        saveWholeFile(target, [&big](QIODevice &out) { return out.write(big) == big.size(); });
    QVERIFY(!result.ok);
    QVERIFY2(result.error.endsWith(QStringLiteral("the disk is full")), qPrintable(result.error));
    QCOMPARE(readAll(target), QByteArray("the user's own file"));
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A small file on a disk already full fails only when its buffer is written out.
    QFile filler(disk.path() + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(1024, 'x')) == 1024 && filler.flush()) {
    }
    filler.close();
    const FileWriteResult small =
        saveWholeFile(target, [](QIODevice &out) { return out.write("a small new backup") == 18; });
    QVERIFY(!small.ok);
    QVERIFY2(small.error.endsWith(QStringLiteral("the disk is full")), qPrintable(small.error));
    QCOMPARE(readAll(target), QByteArray("the user's own file"));
    QVERIFY(filler.remove());

    // A copy that fits replaces the file whole.
    const QString source = dir.filePath(QStringLiteral("source.apk"));
    QVERIFY(writeAll(source, "new backup"));
    QVERIFY(copyWholeFile(source, target).ok);
    QCOMPARE(readAll(target), QByteArray("new backup"));
}

void TestSafeFile::freeNamesCountUpBesideTheExtension()
{
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(QStringLiteral("Notes_v1.0.apk")), "a"));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("Notes_v1.0 (2).apk")), "b"));
    QCOMPARE(freeFileName(dir.path(), QStringLiteral("Notes_v1.0.apk")), QStringLiteral("Notes_v1.0 (3).apk"));
    QCOMPARE(freeFileName(dir.path(), QStringLiteral("Maps.apks"), {QStringLiteral("maps.apks")}),
             QStringLiteral("Maps (2).apks"));
    QCOMPARE(freeFileName(dir.path(), QStringLiteral("Free.apk")), QStringLiteral("Free.apk"));
    QCOMPARE(firstFreeName(QStringLiteral(".profile"), [](const QString &name) { return name == u".profile"; }),
             QStringLiteral(".profile (2)"));
}

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
