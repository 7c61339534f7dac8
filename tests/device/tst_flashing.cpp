#include "common/recordinglog.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "common/scriptedprompter.h"
#include "device/flashing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kStat = QStringLiteral("adb shell busybox stat -c %s /sdcard/tempimage.img");
const QString kMd5 = QStringLiteral("adb shell busybox md5sum /sdcard/tempimage.img");
const QString kFlashRecovery =
    QStringLiteral("adb shell flash_image recovery /sdcard/tempimage.img; echo flash_image status=$?");

} // namespace

class TestFlashing : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_image;
    QByteArray m_content;

    QString md5() const
    {
        return QString::fromLatin1(QCryptographicHash::hash(m_content, QCryptographicHash::Md5).toHex());
    }

    // A rooted phone with busybox that answers every step as a good flash does.
    std::shared_ptr<RecordingRunner> goodPhone()
    {
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(kStat, QString::number(m_content.size()) + QStringLiteral("\r\n"));
        runner->answers.insert(kMd5, md5() + QStringLiteral("  /sdcard/tempimage.img\r\n"));
        runner->answers.insert(QStringLiteral("adb remount"), QStringLiteral("remount succeeded\n"));
        runner->answers.insert(kFlashRecovery, QStringLiteral("flash_image status=0\r\n"));
        return runner;
    }
    // Chooses `file` and confirms: an image flashed to recovery, or else an update.
    RecordingLog flash(const std::shared_ptr<RecordingRunner> &runner, const QString &file, bool update = false)
    {
        AdbClient adb(runner);
        RecordingLog log;
        ScriptedPrompter ask;
        ask.openFiles = {{file}};
        ask.questionAnswers = {true};
        Flashing flashing(nullptr, adb, log, ask);
        update ? flashing.flashUpdate() : flashing.flashImage(Flashing::Partition::Recovery);
        return log;
    }

private slots:
    void init()
    {
        appState() = AppState{};
        appState().busyboxPresent = true;
        m_content = QByteArray("ANDROID!") + QByteArray(4088, 'x');
        m_image = m_dir.filePath(QStringLiteral("recovery.img"));
        QFile file(m_image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_content);
    }

    // An image that did not arrive whole, or a push the phone refused while an older copy of the same image is
    // on the card (adb's error line decides): nothing is flashed or rebooted, and the piece is removed.
    void badPushIsNeverFlashed_data()
    {
        QTest::addColumn<QString>("pushed");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("sum");
        const QString error = QStringLiteral("adb: error: failed to copy 'recovery.img' to '/sdcard/tempimage.img': "
                                             "remote couldn't create file: Permission denied");
        const QString count = QStringLiteral("recovery.img: 1 file pushed, 0 skipped. 9.1 MB/s (4096 bytes in 0.000s)");
        QTest::newRow("short") << count << QStringLiteral("1000") << QString();
        QTest::newRow("missing") << count << QStringLiteral("stat: can't stat '/sdcard/tempimage.img': No such file")
                                 << QString();
        QTest::newRow("other bytes") << count << QStringLiteral("4096")
                                     << QStringLiteral("0123456789abcdef0123456789abcdef  /sdcard/tempimage.img");
        QTest::newRow("29 refused") << error + QStringLiteral("\nrecovery.img: 0 files pushed, 0 skipped.\n")
                                    << QString() << QString();
        QTest::newRow("30+ refused") << count + u'\n' + error + u'\n' << QString() << QString();
        // Current clients, captured by others.
        const QDir captures(QStringLiteral(VELBROOK_REAL_OUTPUTS));
        for (const QString &name :
             captures.entryList({QStringLiteral("adb-current-push-refused-*.txt")}, QDir::Files, QDir::Name)) {
            QFile file(captures.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(name)) << QString::fromUtf8(file.readAll()) << QString() << QString();
        }
    }
    void badPushIsNeverFlashed()
    {
        QFETCH(QString, pushed);
        QFETCH(QString, size);
        QFETCH(QString, sum);
        auto runner = goodPhone();
        runner->answers.insert(QStringLiteral("adb push \"") + m_image + QStringLiteral("\" \"/sdcard/tempimage.img\""),
                               pushed);
        if (!size.isEmpty())
            runner->answers.insert(kStat, size);
        if (!sum.isEmpty())
            runner->answers.insert(kMd5, sum);
        const RecordingLog log = flash(runner, m_image);
        for (const QString &line : runner->texts())
            QVERIFY2(!line.contains(QStringLiteral("flash_image")) && !line.contains(QStringLiteral("reboot")),
                     qPrintable(line));
        QCOMPARE(runner->texts().constLast(), QStringLiteral("adb shell rm  \"/sdcard/tempimage.img\""));
        const qsizetype pushing = log.lines.indexOf(QStringLiteral("Pushing the image file to the SD card..."));
        const QStringList after = log.lines.mid(pushing + 1, 2);
        QCOMPARE(after.value(1), QStringLiteral("Failed"));
        // adb's own words come first; a refusal needs no more.
        QVERIFY2(size.isEmpty() && sum.isEmpty() ? after.value(0) == pushed.trimmed()
                                                 : after.value(0).startsWith(pushed.trimmed()),
                 qPrintable(after.value(0)));
        QVERIFY(!log.lines.contains(QStringLiteral("Done")));
        QCOMPARE(log.ended, 1);
    }

    void flashImageStatus()
    {
        QVERIFY(flashImageSucceeded(QStringLiteral("flash_image status=0\r\n")));
        QVERIFY(flashImageSucceeded(QStringLiteral("header is the same, not flashing recovery\nflash_image status=0")));
        QVERIFY(!flashImageSucceeded(QStringLiteral("error opening /sdcard/tempimage.img\nflash_image status=1")));
        QVERIFY(!flashImageSucceeded(QStringLiteral("flash_image status=127")));
        // The phone gone in between: no status, no success.
        QVERIFY(!flashImageSucceeded(QStringLiteral("error: device not found")));
        QVERIFY(!flashImageSucceeded(QString()));
    }

    void sizeFromTheOldToolboxListing()
    {
        // No stat and no md5sum on Android 2.x without busybox: ls -l tells the size.
        auto runner = std::make_shared<RecordingRunner>();
        runner->defaultAnswer = QStringLiteral("md5sum: not found");
        runner->answers.insert(QStringLiteral("adb shell stat -c %s /sdcard/tempimage.img"),
                               QStringLiteral("stat: not found\r\n"));
        const QString ls = QStringLiteral("adb shell ls -l \"/sdcard/tempimage.img\"");
        runner->answers.insert(
            ls, QStringLiteral("----rwxr-x system   sdcard_rw     4096 2011-03-02 10:11 tempimage.img\r\n"));
        AdbClient adb(runner);
        const QString pushed = QStringLiteral("204 KB/s (4096 bytes in 0.020s)\r\n");
        QVERIFY(checkPushedFile(adb, pushed, m_image, QStringLiteral("/sdcard/tempimage.img"), false, true).ok);
        runner->answers.insert(
            ls, QStringLiteral("----rwxr-x system   sdcard_rw     2048 2011-03-02 10:11 tempimage.img\r\n"));
        const PushCheck shortFile =
            checkPushedFile(adb, pushed, m_image, QStringLiteral("/sdcard/tempimage.img"), false, true);
        QVERIFY(!shortFile.ok);
        QVERIFY(shortFile.reason.contains(QStringLiteral("2048")));
    }

    // What adb remount answered: a failure is logged with adb's or the phone's words.
    void remountResult_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("done");
        QTest::newRow("old adbd") << "remount succeeded\n" << true;
        QTest::newRow("not root") << "remount failed: Operation not permitted\n" << false;
        QTest::newRow("current phone") << "Not running as root. Try \"adb root\" first.\n" << false;
        QTest::newRow("30+ offline") << "adb: device offline\n" << false;
        QTest::newRow("no adb") << "error" << false;
    }
    void remountResult()
    {
        QFETCH(QString, answer);
        QFETCH(bool, done);
        auto runner = goodPhone();
        runner->answers.insert(QStringLiteral("adb remount"), answer);
        const RecordingLog log = flash(runner, m_image);
        const qsizetype remounting = log.lines.indexOf(QStringLiteral("Remounting..."));
        const QStringList expected = done ? QStringList{"Done"} : QStringList{answer.trimmed(), "Failed"};
        QCOMPARE(log.lines.mid(remounting + 1, expected.size()), expected);
    }

    // A command file the phone refused to write is never followed by the reboot that would read it.
    void refusedUpdateCommandDoesNotReboot()
    {
        const QString zip = m_dir.filePath(QStringLiteral("update.zip"));
        QVERIFY(QFile::copy(m_image, zip));
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(QStringLiteral("adb shell busybox stat -c %s /sdcard/tempupdate.zip"),
                               QString::number(m_content.size()));
        const QString command = QStringLiteral("adb shell echo 'boot-recovery' > /cache/recovery/command");
        runner->answers.insert(
            command, QStringLiteral("/system/bin/sh: cannot create /cache/recovery/command: permission denied"));
        QVERIFY(flash(runner, zip, true).lines.contains(QStringLiteral("Failed")));
        QVERIFY(runner->texts().contains(command));
        QVERIFY(!runner->texts().contains(QStringLiteral("adb shell reboot recovery")));
    }
};

QTEST_MAIN(TestFlashing)
#include "tst_flashing.moc"
