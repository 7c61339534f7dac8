// The installer's folder: which files are listed, what aapt tells about them, and that its cache never
// hides a replaced file.
#include "apps/apkarchive.h"
#include "apps/installerfolder.h"
#include "common/testapk.h"
#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList fileNames(const QList<InstallerRow> &rows)
{
    QStringList names;
    for (const InstallerRow &row : rows)
        names << row.fileName;
    return names;
}

} // namespace

class TestInstallerFolder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString apk(const QString &package, const QString &label, const QString &file)
    {
        TestApk apk;
        apk.package = package;
        apk.label = label;
        return apk.build(path(QStringLiteral("src")), path(QStringLiteral("in/") + file));
    }
    InstallerReadOptions options(const QString &cacheFile = {}) const
    {
        InstallerReadOptions o;
        o.tempDir = path(QStringLiteral("temp"));
        o.iconsDir = path(QStringLiteral("icons"));
        o.cacheFile = cacheFile;
        o.workers = 2; // the same shares of files on any machine
        return o;
    }

private slots:
    void init()
    {
        if (!TestApk::toolsPresent())
            QSKIP("aapt or the framework resources are not installed");
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(path(QStringLiteral("in")));
        clearInstallerCache();
    }

    void listsPackageFilesOnly()
    {
        QVERIFY(!apk(QStringLiteral("com.example.alpha"), QStringLiteral("Alpha"), QStringLiteral("a.apk")).isEmpty());
        QVERIFY(QFile::copy(path(QStringLiteral("in/a.apk")), path(QStringLiteral("in/B.APK"))));
        QVERIFY(QFile::copy(path(QStringLiteral("in/a.apk")), path(QStringLiteral("in/.hidden.apk"))));
        QVERIFY(writeAll(path(QStringLiteral("in/c.txt")), "text"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("in/folder.apk"))));
        QVERIFY(writeAll(path(QStringLiteral("in/broken.apk")), "not a zip"));
        QVERIFY(!apk(QStringLiteral("com.example.bare"), QString(), QStringLiteral("bare.apk")).isEmpty());
        // A bundle is read through its base part, wherever that stands in the archive.
        const QString base = apk(QStringLiteral("com.example.delta"), QStringLiteral("Delta"), QStringLiteral("x"));
        const QString split = apk(QStringLiteral("com.example.delta"), QStringLiteral("Other"), QStringLiteral("y"));
        QVERIFY(writeArchive(path(QStringLiteral("in/d.apks")), {{QStringLiteral("split_config.en.apk"), split, {}},
                                                                 {QStringLiteral("base.apk"), base, {}}}));
        QFile::remove(base);
        QFile::remove(split);

        const InstallerFolder read = readInstallerFolder(path(QStringLiteral("in")), options());
        QCOMPARE(fileNames(read.rows), (QStringList{"a.apk", "bare.apk", "d.apks"}));
        QCOMPARE(read.unreadable, QStringList{path(QStringLiteral("in/broken.apk"))});
        const InstallerRow &a = read.rows.at(0);
        QCOMPARE(a.label, QStringLiteral("Alpha"));
        QCOMPARE(a.version, QStringLiteral("1.2"));
        QCOMPARE(a.package, QStringLiteral("com.example.alpha"));
        QCOMPARE(a.path, path(QStringLiteral("in/a.apk")));
        QCOMPARE(a.sizeKb, QFileInfo(a.path).size() / 1024);
        QVERIFY(!a.bundle);
        QCOMPARE(read.rows.at(1).label, QStringLiteral("com.example.bare"));
        QCOMPARE(read.rows.at(2).label, QStringLiteral("Delta"));
        QVERIFY(read.rows.at(2).bundle);
        // Icons by package; the bundle's unpacked base and the icons' work folders are gone.
        QVERIFY(QFileInfo::exists(path(QStringLiteral("icons/com.example.alpha.apk.png"))));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("icons/com.example.delta.apk.png"))));
        QCOMPARE(QDir(path(QStringLiteral("temp"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // The folder's cache never hides a file replaced under the same name, in this run or the next.
    void replacedFilesAreReadAgain()
    {
        QVERIFY(!apk(QStringLiteral("com.example.p0"), QStringLiteral("P0"), QStringLiteral("0.apk")).isEmpty());
        const QString cacheFile = path(QStringLiteral("data/installer.json"));
        QCOMPARE(readInstallerFolder(path(QStringLiteral("in")), options(cacheFile)).rows.first().label,
                 QStringLiteral("P0"));
        QVERIFY(QFile::remove(path(QStringLiteral("in/0.apk"))));
        QVERIFY(!apk(QStringLiteral("com.example.renamed"), QStringLiteral("Renamed label"), QStringLiteral("0.apk"))
                     .isEmpty());
        QFile(path(QStringLiteral("in/0.apk")))
            .setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
        QCOMPARE(readInstallerFolder(path(QStringLiteral("in")), options(cacheFile)).rows.first().label,
                 QStringLiteral("Renamed label"));
        clearInstallerCache();
        QCOMPARE(readInstallerFolder(path(QStringLiteral("in")), options(cacheFile)).rows.first().label,
                 QStringLiteral("Renamed label"));
    }
};

QTEST_GUILESS_MAIN(TestInstallerFolder)
#include "tst_installerfolder.moc"
