// The installer's folder: which files are listed, what aapt tells about them, the order, the names
// a rename gives, and that a file read once is not read again.
#include "apps/apkarchive.h"
#include "apps/installerfolder.h"
#include "bridge/commandrunner.h"
#include "common/testapk.h"
#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

// Runs the commands for real and counts them; the workers call it from several threads.
class CountingRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool wantOutput) override
    {
        return runWith(command, wantOutput, {});
    }
    QString runWith(const CommandLine &command, bool, const RunOptions &options) override
    {
        ++runs;
        QProcess process;
        if (options.stdoutFile.isEmpty())
            process.setProcessChannelMode(QProcess::MergedChannels);
        else
            process.setStandardOutputFile(options.stdoutFile);
        process.start(command.program, command.arguments);
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAll());
    }
    std::atomic<int> runs = 0;
};

QStringList fileNames(const QList<InstallerRow> &rows)
{
    QStringList names;
    for (const InstallerRow &row : rows)
        names << row.fileName;
    return names;
}

InstallerRow row(const QString &label, const QString &file, qint64 sizeKB = 1)
{
    InstallerRow r;
    r.label = label;
    r.fileName = file;
    r.sizeKb = sizeKB;
    return r;
}

} // namespace

class TestInstallerFolder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::shared_ptr<CountingRunner> m_runner;

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
        o.runner = m_runner;
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
        m_runner = std::make_shared<CountingRunner>();
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

    void readsPickedFilesAndFolders_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("leftOut");
        QTest::newRow("files") << QStringList{"in/c.apk", "more/b.apk"} << QStringList{"more/b.apk", "in/c.apk"}
                               << QStringList{};
        QTest::newRow("a folder and a file in it")
            << QStringList{"in", "in/a.apk"} << QStringList{"in/a.apk", "in/c.apk"} << QStringList{};
        QTest::newRow("one name in two folders")
            << QStringList{"more", "in"} << QStringList{"in/a.apk", "more/a.apk", "more/b.apk", "in/c.apk"}
            << QStringList{};
        QTest::newRow("neither package nor folder")
            << QStringList{"in/notes.txt", "in/a.apk", "gone.apk"} << QStringList{"in/a.apk"}
            << QStringList{"in/notes.txt", "gone.apk"};
    }

    void readsPickedFilesAndFolders()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, leftOut);
        QVERIFY(!apk(QStringLiteral("com.example.alpha"), QStringLiteral("Alpha"), QStringLiteral("a.apk")).isEmpty());
        QVERIFY(!apk(QStringLiteral("com.example.gamma"), QStringLiteral("Gamma"), QStringLiteral("c.apk")).isEmpty());
        QVERIFY(writeAll(path(QStringLiteral("in/notes.txt")), "text"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("more"))));
        QVERIFY(QFile::copy(path(QStringLiteral("in/a.apk")), path(QStringLiteral("more/a.apk"))));
        QVERIFY(QFile::copy(path(QStringLiteral("in/c.apk")), path(QStringLiteral("more/b.apk"))));
        const auto paths = [this](const QStringList &names) {
            QStringList result;
            for (const QString &name : names)
                result << path(name);
            return result;
        };

        const InstallerFolder read = readInstallerSources(paths(given), options());
        QStringList rows;
        for (const InstallerRow &row : read.rows)
            rows << row.path;
        QCOMPARE(rows, paths(listed));
        QCOMPARE(read.notPackages, paths(leftOut));
        QVERIFY(read.unreadable.isEmpty());
    }

    void readsEachFileOnce()
    {
        for (int i = 0; i < 5; ++i) {
            const QString n = QString::number(i);
            QVERIFY(!apk(QStringLiteral("com.example.p") + n, QStringLiteral("P") + n, n + QStringLiteral(".apk"))
                         .isEmpty());
        }
        QVERIFY(writeAll(path(QStringLiteral("in/bad.apk")), "x"));
        const QString cacheFile = path(QStringLiteral("data/installer.json"));
        // One aapt2 run per thread for three files each; the three beside the damaged file are read one by one.
        const InstallerFolder first = readInstallerFolder(path(QStringLiteral("in")), options(cacheFile));
        QStringList labels;
        for (const InstallerRow &row : first.rows)
            labels << row.label + u'=' + row.package;
        QCOMPARE(labels, QStringList({"P0=com.example.p0", "P1=com.example.p1", "P2=com.example.p2",
                                      "P3=com.example.p3", "P4=com.example.p4"}));
        QCOMPARE(m_runner->runs, 5);

        // Unchanged files: no aapt, failures included; a replaced file is read again.
        m_runner->runs = 0;
        QCOMPARE(readInstallerFolder(path(QStringLiteral("in")), options(cacheFile)).unreadable,
                 QStringList{path(QStringLiteral("in/bad.apk"))});
        QCOMPARE(m_runner->runs, 0);
        QVERIFY(QFile::remove(path(QStringLiteral("in/0.apk"))));
        QVERIFY(!apk(QStringLiteral("com.example.renamed"), QStringLiteral("Renamed label"), QStringLiteral("0.apk"))
                     .isEmpty());
        QFile(path(QStringLiteral("in/0.apk")))
            .setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
        const InstallerFolder changed = readInstallerFolder(path(QStringLiteral("in")), options(cacheFile));
        QCOMPARE(m_runner->runs, 1);
        QCOMPARE(changed.rows.first().label, QStringLiteral("Renamed label"));

        // The next run of the program starts from the file; failures are tried again.
        clearInstallerCache();
        m_runner->runs = 0;
        const InstallerFolder again = readInstallerFolder(path(QStringLiteral("in")), options(cacheFile));
        QCOMPARE(m_runner->runs, 1);
        QCOMPARE(again.rows.first().label, QStringLiteral("Renamed label"));
        clearInstallerCache();
        m_runner->runs = 0;
        readInstallerFolder(path(QStringLiteral("in")), options());
        QCOMPARE(m_runner->runs, 5);
    }

    void sortsStably()
    {
        QList<InstallerRow> rows{row("beta", "z.apk", 5), row("Alpha", "y.apk", 9), row("alpha", "X.apk", 5),
                                 row("Gamma", "w.apk", 1)};
        sortInstallerRows(rows, InstallerSort::AppName);
        QCOMPARE(fileNames(rows), (QStringList{"y.apk", "X.apk", "z.apk", "w.apk"}));
        sortInstallerRows(rows, InstallerSort::FileName);
        QCOMPARE(fileNames(rows), (QStringList{"w.apk", "X.apk", "y.apk", "z.apk"}));
        sortInstallerRows(rows, InstallerSort::Size);
        QCOMPARE(fileNames(rows), (QStringList{"y.apk", "X.apk", "z.apk", "w.apk"}));
    }

};

QTEST_GUILESS_MAIN(TestInstallerFolder)
#include "tst_installerfolder.moc"
