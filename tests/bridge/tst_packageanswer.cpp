// The verdict on a package manager's answer, from what adb 29 and adb 34 printed against the simulated phones
// (tests/data/adb/*.adb29.txt, *.adb34.txt) and the exit status each ended with.
#include "bridge/adbutils.h"
#include "bridge/packageanswer.h"
#include "common/recordingrunner.h"

#include <QFile>
#include <QTest>

namespace {

const QString kFolder = QStringLiteral("/tmp/velbrook-capture/");

QString captured(const QString &name)
{
    QFile file(QStringLiteral(VB_TEST_DATA "/adb/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing ") + name;
}

} // namespace

class TestPackageAnswer : public QObject {
    Q_OBJECT

private slots:
    void capturedAnswers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("reason");

        const QStringList story{kFolder + QStringLiteral("My Success Story.apk")};
        const QStringList broken{kFolder + QStringLiteral("Success.apk")};
        const QString downgrade = QStringLiteral("Failure [INSTALL_FAILED_VERSION_DOWNGRADE: Downgrade detected: "
                                                 "Update version code 3 is older than current 9]");
        const QString notApk = QStringLiteral("Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse base.apk]");
        for (const char *adb : {"adb29", "adb34"}) {
            const auto row = [adb](const char *name) -> QTestData & {
                return QTest::addRow("%s %s", name, adb);
            };
            const auto file = [adb](const char *name) { return QStringLiteral("%1.%2.txt").arg(name, adb); };
            row("install-ok") << file("install-ok") << 0 << QStringList() << true << QString() << QString();
            // The file's name holds "Success" on adb's failure line: only the exit status and the failure count.
            row("install-downgrade") << file("install-downgrade") << 1 << story << false << downgrade
                                     << QStringLiteral("a newer version is installed");
            row("install-downgrade, paths unknown") << file("install-downgrade") << 1 << QStringList() << false
                                                    << QString() << QStringLiteral("failed to install ") + story.first() + ": " + downgrade;
            row("install-corrupt") << file("install-corrupt") << 1 << broken << false << notApk
                                   << QStringLiteral("the file is not a valid Android package");
            // adb's own line first, then the package manager's.
            row("install-multiple-corrupt")
                << file("install-multiple-corrupt") << 1 << QStringList{kFolder + QStringLiteral("story-9.apk")}
                << false << QStringLiteral("Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse Success.apk]")
                << QStringLiteral("the file is not a valid Android package");
            row("legacy install-multiple") << file("legacy-install-multiple-corrupt") << 1 << QStringList() << false
                                           << QString() << QStringLiteral("connect error for create: closed");
            row("uninstall-ok") << file("uninstall-ok") << 0 << QStringList() << true << QString() << QString();
            row("uninstall-missing") << file("uninstall-missing") << 1 << QStringList() << false
                                     << QStringLiteral("Failure [DELETE_FAILED_INTERNAL_ERROR]") << QStringLiteral("the phone refused to remove it");
            // An old phone's package manager says Failure and adb still ends with 0.
            row("legacy install-corrupt") << file("legacy-install-corrupt") << 0 << broken << false
                                          << QStringLiteral("Failure [INSTALL_FAILED_INVALID_APK]")
                                          << QStringLiteral("the file is not a valid Android package");
            row("legacy uninstall-missing") << file("legacy-uninstall-missing") << 0 << QStringList() << false
                                            << QStringLiteral("Failure") << QStringLiteral("the package manager refused");
        }
    }
    void capturedAnswers()
    {
        QFETCH(QString, file);
        QFETCH(int, exitStatus);
        QFETCH(QStringList, paths);
        const PackageAnswer answer = judgePackageAnswer(captured(file), exitStatus, paths);
        QTEST(answer.ok, "ok");
        QTEST(answer.failure, "failure");
        QTEST(answer.reason, "reason");
    }

    void onlyTheLastVerdictLineAndTheExitStatusCount()
    {
        // "Success" inside another line is no verdict, nor a "Success: ..." progress line.
        QVERIFY(!judgePackageAnswer(QStringLiteral("Performing Streamed Install\nSuccess Story.apk"), 0).ok);
        QVERIFY(!judgePackageAnswer(QStringLiteral("Success: created install session [1]"), 0).ok);
        // A later Failure outweighs an earlier Success, and the other way round.
        QVERIFY(!judgePackageAnswer(QStringLiteral("Success\r\nFailure [INSTALL_FAILED_INVALID_URI]\r\n"), 0).ok);
        QVERIFY(judgePackageAnswer(QStringLiteral("Failure [X]\rSuccess\r"), 0).ok);
        // A Success that adb itself calls a failure is one; an unknown status leaves it to the line.
        const PackageAnswer refused = judgePackageAnswer(QStringLiteral("Success"), 1);
        QVERIFY(!refused.ok);
        QCOMPARE(refused.reason, QStringLiteral("adb ended with status 1"));
        QVERIFY(judgePackageAnswer(QStringLiteral("Success"), std::nullopt).ok);
        // Nothing from the phone: adb's own complaint, or that there was no answer.
        QCOMPARE(judgePackageAnswer(QStringLiteral("adb: device offline"), 1).reason, QStringLiteral("device offline"));
        QCOMPARE(judgePackageAnswer(QStringLiteral("error: device offline"), 1).reason,
                 QStringLiteral("device offline"));
        QCOMPARE(judgePackageAnswer(QString(), 0).reason, QStringLiteral("the package manager gave no answer"));
    }

    // The package commands hand adb's exit status to the verdict.
    void exitStatusReachesTheVerdict()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        const QString line = QStringLiteral("adb install -r \"/pc/a.apk\"");
        runner->answers.insert(line, QStringLiteral("Performing Streamed Install\nSuccess"));
        runner->exitCodes.insert(line, 1);
        const QString output = adb.installApk(QStringLiteral("/pc/a.apk"), QStringLiteral("-r "));
        QCOMPARE(adb.lastCommandLine(), line);
        QCOMPARE(adb.lastExitStatus(), std::optional<int>(1));
        QVERIFY(!judgePackageAnswer(output, adb.lastExitStatus()).ok);
        runner->exitCodes.clear();
        adb.installApk(QStringLiteral("/pc/a.apk"), QStringLiteral("-r "));
        QCOMPARE(adb.lastExitStatus(), std::optional<int>(0));
    }
};

QTEST_GUILESS_MAIN(TestPackageAnswer)
#include "tst_packageanswer.moc"
