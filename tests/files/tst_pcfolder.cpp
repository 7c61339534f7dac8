#include "apps/badging.h"
#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "common/testapk.h"
#include "lists/pcfolder.h"
#include "platform/localfiles.h"
#include "base/appstate.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

void makeFile(const QString &path, qint64 bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

QStringList names(const QList<ListItem> &rows)
{
    QStringList result;
    for (const ListItem &row : rows)
        result << row.name;
    return result;
}

QStringList texts(const QList<ListItem> &rows)
{
    QStringList result;
    for (const ListItem &row : rows)
        result << row.toText();
    return result;
}

} // namespace

class TestPcFolder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

private slots:
    void init()
    {
        appState() = AppState{};
        m_folder = m_dir.path() + QStringLiteral("/folder/");
        QDir(m_folder).removeRecursively();
        QDir().mkpath(m_folder);
    }

    void hiddenEntriesAndRowForms()
    {
        QDir().mkpath(m_folder + QStringLiteral("Music"));
        QDir().mkpath(m_folder + QStringLiteral(".config"));
        makeFile(m_folder + QStringLiteral(".profile"), 10);
        makeFile(m_folder + QStringLiteral("a.txt"), 3000);

        PcListOptions options;
        QCOMPARE(texts(readPcFolder(m_folder, options)),
                 (QStringList{"0;Date;Music/;Music/;", "3000;pkgName;a.txt;a.txt;"}));
        options.showHidden = true;
        QCOMPARE(names(readPcFolder(m_folder, options)), (QStringList{".config/", "Music/", ".profile", "a.txt"}));
        // The folder may be given without its final separator.
        QCOMPARE(names(readPcFolder(m_folder.chopped(1), options)).size(), 4);
    }

    void foldersFirstByNameFilesByNameOrSize()
    {
        for (const char *dir : {"zeta", "Alpha", "beta"})
            QDir().mkpath(m_folder + QLatin1String(dir));
        makeFile(m_folder + QStringLiteral("small.bin"), 1023);
        makeFile(m_folder + QStringLiteral("Big.bin"), 5 * 1024 + 1023);
        makeFile(m_folder + QStringLiteral("mid.bin"), 2048);

        PcListOptions options;
        QCOMPARE(names(readPcFolder(m_folder, options)),
                 (QStringList{"Alpha/", "beta/", "zeta/", "Big.bin", "mid.bin", "small.bin"}));
        options.sortMode = PcSort::Size;
        const QList<ListItem> bySize = readPcFolder(m_folder, options);
        QCOMPARE(names(bySize), (QStringList{"Alpha/", "beta/", "zeta/", "Big.bin", "mid.bin", "small.bin"}));
        QCOMPARE(bySize.at(3).sizeText, QStringLiteral("6143"));
        QCOMPARE(bySize.at(5).sizeText, QStringLiteral("1023"));

        makeFile(m_folder + QStringLiteral("a-huge.bin"), 9000);
        QCOMPARE(names(readPcFolder(m_folder, options)).mid(3),
                 (QStringList{"a-huge.bin", "Big.bin", "mid.bin", "small.bin"}));
    }

    void apkDetailsUseTheBadgingReader()
    {
        makeFile(m_folder + QStringLiteral("game.apk"), 4096);
        makeFile(m_folder + QStringLiteral("APP.APK"), 10);
        makeFile(m_folder + QStringLiteral("broken.apk"), 10);
        QStringList asked;
        PcListOptions options;
        options.readDetails = [&](const QString &path) {
            asked << path;
            if (path.endsWith(QStringLiteral("/game.apk")))
                return ApkDetails{QStringLiteral("com.example.game"), QStringLiteral("Example"), QStringLiteral("1.2")};
            return ApkDetails{};
        };

        // Details off: APKs are plain rows and aapt is never run.
        QCOMPARE(texts(readPcFolder(m_folder, options)).at(2), QStringLiteral("4096;pkgName;game.apk;game.apk;"));
        QVERIFY(asked.isEmpty());

        options.showApkDetails = true;
        QCOMPARE(texts(readPcFolder(m_folder, options)), (QStringList{"10;pkgName;APP.APK;APP.APK;", "10;;broken.apk; v;",
                                                                      "4096;com.example.game;game.apk;Example v1.2;"}));
        asked.sort();
        QCOMPARE(asked, (QStringList{m_folder + "broken.apk", m_folder + "game.apk"}));
        QVERIFY(!isApkFileName(QStringLiteral("APP.APK")));
        QVERIFY(!isApkFileName(QStringLiteral("app.apk.bak")));
        QVERIFY(isApkFileName(QStringLiteral(".apk")));
    }

    void unreadableFoldersGiveNoRows()
    {
        makeFile(m_folder + QStringLiteral("file"), 1);
        QVERIFY(readPcFolder(m_folder + QStringLiteral("missing/"), {}).isEmpty());
        QVERIFY(readPcFolder(m_folder + QStringLiteral("file/"), {}).isEmpty());
    }

    void normalFolders()
    {
        QCOMPARE(platform::normalPcFolder(QStringLiteral("/usr/share/../lib"), QString()), QStringLiteral("/usr/lib/"));
        QCOMPARE(platform::normalPcFolder(QStringLiteral("/"), QString()), QStringLiteral("/"));
    }

    void aaptCommandLines()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        const QString apk = m_folder + QStringLiteral("my \"odd\" app.apk");
        readBadging(adb, apk);
        QCOMPARE(runner->commands.last().program, QStringLiteral("aapt"));
        QCOMPARE(runner->commands.last().arguments, (QStringList{"dump", "badging", apk}));

        // A tool that cannot be started answers "error": no values.
        runner->defaultAnswer = QStringLiteral("error");
        const ApkBadging none = readBadging(adb, apk);
        QVERIFY(none.label.isEmpty() && none.package.isEmpty() && none.versionName.isEmpty());
    }

    void realApk()
    {
        if (!TestApk::toolsPresent())
            QSKIP("aapt or the framework resources are not installed");
        TestApk recipe;
        recipe.package = QStringLiteral("com.labelmaker.iconpack");
        recipe.label = QStringLiteral("Bob's App");
        const QString apk = recipe.build(m_dir.path(), m_folder + QStringLiteral("bob's app.apk"));
        QVERIFY(!apk.isEmpty());

        AdbClient adb;
        const ApkBadging badging = readBadging(adb, apk);
        QCOMPARE(badging.package, QStringLiteral("com.labelmaker.iconpack"));
        QCOMPARE(badging.label, QStringLiteral("Bob's App"));
        QCOMPARE(badging.versionName, QStringLiteral("1.2"));
        QCOMPARE(badging.iconPath, QStringLiteral("res/drawable/icon.png"));
        QCOMPARE(readPermissions(adb, apk), QStringLiteral("uses-permission: name='android.permission.INTERNET'"));

        PcListOptions options;
        options.showApkDetails = true;
        options.readDetails = [&](const QString &path) {
            const ApkBadging badging = readBadging(adb, path);
            return ApkDetails{badging.package, badging.label, badging.versionName};
        };
        QCOMPARE(texts(readPcFolder(m_folder, options)).value(0).section(u';', 1),
                 QStringLiteral("com.labelmaker.iconpack;bob's app.apk;Bob's App v1.2;"));
    }

    void rowIconsStayAlignedWithRows()
    {
        const QString icons = m_dir.path() + QStringLiteral("/icons");
        QDir().mkpath(icons);
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(QColor(0, 0, 255));
        QVERIFY(picture.save(icons + QStringLiteral("/com.example.app.apk.png")));
        makeFile(icons + QStringLiteral("/com.broken.apk.png"), 20);

        QImage generic(24, 24, QImage::Format_RGB32);
        generic.fill(Qt::green);
        const QList<ListItem> rows{{"0", "Date", "Music/", "Music/"},
                                   {"4", "com.example.app", "app.apk", "Example v1.2"},
                                   {"1", "com.broken", "b.apk", "B v1"},
                                   {"1", "", "c.apk", " v"},
                                   {"1", "../icons/com.example.app", "d.apk", "D v1"}};
        const QList<QImage> images = loadApkRowIcons(rows, icons, generic);
        QCOMPARE(images.size(), rows.size());
        QCOMPARE(images.at(1).size(), QSize(24, 24));
        QCOMPARE(images.at(1).pixelColor(12, 12), QColor(0, 0, 255));
        for (int i : {0, 2, 3, 4})
            QCOMPARE(images.at(i), generic);
    }
};

QTEST_GUILESS_MAIN(TestPcFolder)
#include "tst_pcfolder.moc"
