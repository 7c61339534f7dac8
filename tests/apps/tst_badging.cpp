#include "apps/badging.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTest>

namespace {

struct Expected {
    QString label, package, versionCode, versionName, icon;
};

ApkBadging parse(const char *utf8)
{
    return parseBadging(QString::fromUtf8(utf8));
}

} // namespace

class TestBadging : public QObject {
    Q_OBJECT

private slots:
    // Every captured output of the real tool, old and new build-tools, read by hand.
    void capturedOutputs()
    {
        const QDir dir(QStringLiteral(VELBROOK_REAL_OUTPUTS));
        const QStringList files = dir.entryList({QStringLiteral("badging-*.txt")}, QDir::Files, QDir::Name);
        if (files.isEmpty())
            QSKIP("no captured aapt output beside the work tree");

        const QHash<QString, Expected> expected{
            // Adaptive icon in every density: no bitmap at all, so the generic image.
            {"badging-01.txt", {"QKSMS", "com.moez.QKSMS", "182", "3.4.3", ""}},
            {"badging-02.txt", {"QKSMS", "com.moez.QKSMS", "182", "3.4.3", ""}},
            // Empty versionName, a banner after the icon, an Arabic label for another locale.
            {"badging-03.txt",
             {"Duplicate Permisssions", "duplicate.permisssions", "9999999", "", "res/drawable/ic_launcher.png"}},
            {"badging-04.txt",
             {"Battery level", "souch.smsbypass", "9", "0.9", "res/drawable-mdpi-v4/ic_launcher.png"}},
            // No launchable activity; a feature group's empty label follows the application's.
            {"badging-05.txt",
             {"DroidTR keyboard", "org.droidtr.keyboard", "34", "5.5", "res/drawable/ic_launcher.png"}},
            // Vector drawable as the only icon.
            {"badging-06.txt", {"Caffeine Tile", "info.zwanenburg.caffeinetile", "4", "1.3", ""}},
            {"badging-07.txt",
             {"DroidTR keyboard", "org.droidtr.keyboard", "34", "5.5", "res/drawable/ic_launcher.png"}},
        };
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QVERIFY2(expected.contains(name), qPrintable(QStringLiteral("no expected values for ") + name));
            const Expected want = expected.value(name);
            const ApkBadging got = parseBadging(QString::fromUtf8(file.readAll()));
            QCOMPARE(got.label, want.label);
            QCOMPARE(got.package, want.package);
            QCOMPARE(got.versionCode, want.versionCode);
            QCOMPARE(got.versionName, want.versionName);
            QCOMPARE(got.iconPath, want.icon);
        }
    }

    void quoting()
    {
        // Newer aapt escapes, older aapt prints apostrophes bare.
        QCOMPARE(parse("application: label='Bob\\'s App' icon='i.png'\n").label, QStringLiteral("Bob's App"));
        QCOMPARE(parse("application: label='Bob's App' icon='i.png'\n").label, QStringLiteral("Bob's App"));
        QCOMPARE(parse("application: label='Bobs\\'' icon='i.png'\n").label, QStringLiteral("Bobs'"));
        QCOMPARE(parse("application: label='Bobs'' icon='i.png'\n").label, QStringLiteral("Bobs'"));
        QCOMPARE(parse("application: label='C:\\\\' icon='i.png'\n").label, QStringLiteral("C:\\"));
        QCOMPARE(parse("application: label='C:\\' icon='i.png'\n").iconPath, QStringLiteral("i.png"));
        // Separators of the catalogue and of aapt's own lines stay inside the value.
        const ApkBadging odd = parse("application: label='a;b: c=d' icon='res/x;y.png'\r\n");
        QCOMPARE(odd.label, QStringLiteral("a;b: c=d"));
        QCOMPARE(odd.iconPath, QStringLiteral("res/x;y.png"));
        QCOMPARE(parse("application: label='أذونات مكررة' icon='i.png'\n").label, QString::fromUtf8("أذونات مكررة"));
        // The last value of a line, with CR LF, CR or trailing blanks after it.
        QCOMPARE(parse("application: icon='i.png' label='Last'\r\n").label, QStringLiteral("Last"));
        QCOMPARE(parse("application: icon='i.png' label='Last'  \r").label, QStringLiteral("Last"));
        QVERIFY(badgingValue(QStringLiteral("application: label='Unclosed"), QStringLiteral("label")).isEmpty());
    }

    void valuesComeFromTheirOwnLines()
    {
        // An icon key inside "application-icon-160:" or an activity's label never stands in.
        const ApkBadging b = parse("package: name='com.x' versionCode='7' versionName='1.0'\n"
                                   "application-icon-160:'res/a.png'\n"
                                   "launchable-activity: name='com.x.Main'  label='Activity' icon='res/act.png'\n"
                                   "application: label='App' icon='res/b.png'\n");
        QCOMPARE(b.label, QStringLiteral("App"));
        QCOMPARE(b.iconPath, QStringLiteral("res/b.png"));
        QCOMPARE(b.package, QStringLiteral("com.x"));
        QCOMPARE(b.versionCode, QStringLiteral("7"));

        const ApkBadging noApp = parse("package: name='com.y' versionCode='1'\n"
                                       "launchable-activity: name='com.y.Main'  label='Activity' icon=''\n");
        QVERIFY(noApp.label.isEmpty());
        QVERIFY(noApp.iconPath.isEmpty());
        QVERIFY(parseBadging(QStringLiteral("error")).package.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBadging)
#include "tst_badging.moc"
