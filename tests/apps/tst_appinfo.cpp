#include "apps/appinfo.h"

#include "apps/memberstream.h"
#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "common/testapk.h"
#include "common/testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

const QString kApk = QStringLiteral("/data/app/~~AbC==/com.x-Def==/base.apk");

// Plays the phone on the PC: the command of `adb exec-out` or `adb shell` runs in the local sh, so
// that the quoting meets a real shell and a real unzip; `adb pull` copies; aapt runs for real.
class LocalPhoneRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool wantOutput) override { return runWith(command, wantOutput, {}); }
    QString runWith(const CommandLine &command, bool wantOutput, const RunOptions &options) override
    {
        texts << command.text;
        const auto real = defaultCommandRunner();
        if (command.program != QStringLiteral("adb"))
            return real->runWith(command, wantOutput, options);
        const QString verb = command.arguments.value(0);
        if (verb == QStringLiteral("exec-out") || verb == QStringLiteral("shell")) {
            const QString script =
                unzipMissing ? QStringLiteral("echo 'unzip: not found' >&2; exit 127") : command.arguments.value(1);
            return real->runWith(CommandLine{QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, script},
                                 wantOutput, options);
        }
        if (verb == QStringLiteral("pull"))
            return QFile::copy(command.arguments.value(1), command.arguments.value(2))
                       ? QStringLiteral("1 file pulled.")
                       : QStringLiteral("adb: error: remote object does not exist");
        return QStringLiteral("error");
    }

    QStringList texts;
    bool unzipMissing = false;
};

bool isSquareOf(const QString &file, QColor colour)
{
    const QImage image(file);
    return image.size() == QSize(48, 48) && image.pixelColor(24, 24) == colour;
}

} // namespace

class TestAppInfo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_temp;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    bool tempIsEmpty() const { return QDir(m_temp).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    // A real APK at `file`, with an incompressible asset so that streaming moves less than the whole.
    QString buildApk(const TestApk &spec, const QString &file)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        const QString work = path(QStringLiteral("build"));
        QDir().mkpath(work);
        if (spec.build(work, file).isEmpty())
            return QString();
        QByteArray noise(200000, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        if (!writeAll(work + QStringLiteral("/assets/big.bin"), noise))
            return QString();
        // aapt stores the member under the path it is given, from its working folder.
        QProcess aapt;
        aapt.setWorkingDirectory(work);
        aapt.start(QStringLiteral("aapt"), {QStringLiteral("add"), file, QStringLiteral("assets/big.bin")});
        return aapt.waitForFinished(60000) && aapt.exitCode() == 0 ? file : QString();
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        m_temp = path(QStringLiteral("temp"));
        QDir().mkpath(m_temp);
    }

    void memberStream()
    {
        const QString marker = QStringLiteral("vb0123456789abcdef");
        const auto chunk = [](char type, char headerSize, int size, char fill) {
            QByteArray bytes(size, fill);
            bytes[0] = type;
            bytes[1] = 0;
            bytes[2] = headerSize;
            bytes[3] = 0;
            qToLittleEndian<quint32>(quint32(size), bytes.data() + 4);
            return bytes;
        };
        // A table whose bytes hold a line like a header of another call.
        QByteArray table = chunk(2, 12, 64, 'T');
        table.replace(20, 22, "\nvbfedcba9876543210 1\n");
        const QByteArray manifest = chunk(3, 8, 40, 'M');
        QByteArray png;
        QBuffer buffer(&png);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
        const auto header = [&](int i) { return QByteArray(marker.toUtf8() + ' ' + QByteArray::number(i) + '\n'); };
        // A linker warning first; the archive's order (table first); no table; an icon; a manifest cut short; and
        // the last request never came (the phone went away).
        const QByteArray output = "WARNING: linker: unused DT entry\n" + header(0) + table + manifest + header(1) +
                                  manifest + header(2) + png + header(3) + manifest.left(30) + marker.toUtf8() +
                                  " end\n";
        const QList<std::optional<QByteArray>> got = splitMemberStream(output, 5, marker);
        QCOMPARE(got.size(), 5);
        const ManifestAndTable first = splitManifestAndTable(got.at(0).value());
        QVERIFY(first.whole);
        QCOMPARE(first.manifest, manifest);
        QCOMPARE(first.table, table);
        const ManifestAndTable second = splitManifestAndTable(got.at(1).value());
        QVERIFY(second.whole);
        QVERIFY(second.table.isEmpty());
        QCOMPARE(got.at(2).value(), png);
        QVERIFY(isWholeMember(png));
        QVERIFY(!isWholeMember(png.left(png.size() - 4)));
        QVERIFY(!splitManifestAndTable(got.at(3).value()).whole);
        QVERIFY(!splitManifestAndTable(table + manifest + "x").whole);
        QVERIFY(!got.at(4));
        // Without the phone's end the last bytes may stop short, even when they look whole.
        QVERIFY(!splitMemberStream(header(0) + png, 1, marker).at(0));

        // Groups keep within the shell's limit; the first one is small, so that the first rows come soon.
        QList<MemberRequest> many;
        for (int i = 0; i < 100; ++i)
            many << MemberRequest{QStringLiteral("/data/app/~~x/pkg%1/base.apk").arg(i), {"AndroidManifest.xml"}};
        const QList<qsizetype> sizes = memberStreamGroups(many, marker, 4000, 8, 40);
        QCOMPARE(sizes.first(), 8);
        qsizetype from = 0;
        for (const qsizetype size : sizes) {
            QVERIFY(memberStreamCommand(many.mid(from, size), marker).size() <= 4000);
            QVERIFY(size <= 40);
            from += size;
        }
        QCOMPARE(from, 100);
    }

    void pulledCommandLinesAndErrors()
    {
        auto runner = std::make_shared<RecordingRunner>();
        runner->defaultAnswer = QStringLiteral("adb: error: failed to stat remote object: No such file\r\n");
        AdbClient adb(runner);
        AppInfoReader reader(adb, m_temp);

        // Streaming that brings no manifest falls back to pulling the whole APK.
        reader.setStreaming(true);
        AppInfo info = reader.read(kApk, path(QStringLiteral("icon.png")));
        QVERIFY(!info.ok);
        QCOMPARE(info.error, QStringLiteral("adb: error: failed to stat remote object: No such file"));
        QCOMPARE(info.bytesFromPhone, 0);
        QCOMPARE(runner->commands.size(), 2);
        QVERIFY(runner->commands.at(0).text.startsWith(QStringLiteral("adb exec-out echo vb")));
        const CommandLine pull = runner->commands.at(1);
        QVERIFY2(pull.text.startsWith(QStringLiteral("adb pull \"") + kApk + QStringLiteral("\" \"") + m_temp + u'/'),
                 qPrintable(pull.text));
        QVERIFY(tempIsEmpty());
    }

    // aapt really reads the small archive made of the members a real unzip streamed through a real sh.
    void realApkStreamedAndPulled()
    {
        if (!TestApk::toolsPresent() || QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("aapt, the framework resources or unzip are not installed");
        TestApk first;
        const QString firstApk =
            buildApk(first, path(QStringLiteral("data/app/~~AbC==/com.example.app-Def==/base.apk")));
        TestApk second;
        second.package = QStringLiteral("com.example.other");
        second.label = QStringLiteral("Other's");
        second.iconColour = Qt::blue;
        const QString secondApk =
            buildApk(second, path(QStringLiteral("data/app/~~x$y==/com.example.other-\"q\" `id`/base.apk")));
        QVERIFY(!firstApk.isEmpty() && !secondApk.isEmpty());

        auto phone = std::make_shared<LocalPhoneRunner>();
        AdbClient adb(phone);
        QVERIFY(AppInfoReader::phoneHasUnzip(adb, secondApk));
        QVERIFY(!AppInfoReader::phoneHasUnzip(adb, secondApk + QStringLiteral(".gone")));
        AppInfoReader reader(adb, m_temp);
        reader.setStreaming(true);
        QList<InfoReadJob> jobs(2, InfoReadJob{"a", firstApk, {}});
        jobs << InfoReadJob{"b", secondApk, {}};
        QList<AppInfo> read;
        const auto readAll = [&] {
            QDir(path(QStringLiteral("icons"))).removeRecursively();
            read = QList<AppInfo>(jobs.size());
            reader.readMany(
                jobs, [&](const InfoReadJob &job) { return path(QStringLiteral("icons/%1.png").arg(job.key)); },
                [&](int i, const AppInfo &info) { read[i] = info; });
        };
        readAll();
        for (const AppInfo &info : std::as_const(read))
            QVERIFY2(info.ok, qPrintable(info.error));
        const AppInfo b = read.at(2);
        QCOMPARE(read.at(0).badging.label, QStringLiteral("Example"));
        QCOMPARE(b.badging.label, QStringLiteral("Other's"));
        QCOMPARE(b.badging.versionCode, QStringLiteral("3"));
        QVERIFY(isSquareOf(read.at(0).iconFile, Qt::red));
        QVERIFY(isSquareOf(b.iconFile, Qt::blue));
        // Nothing was pulled whole.
        QVERIFY2(b.bytesFromPhone > 0 && b.bytesFromPhone < QFileInfo(secondApk).size() / 2,
                 qPrintable(QString::number(b.bytesFromPhone)));
        QVERIFY(phone->texts.filter(QStringLiteral("adb pull")).isEmpty());
        QVERIFY(tempIsEmpty());

        // Without unzip on the phone the whole APK comes over; the pulled copy still goes away.
        phone->unzipMissing = true;
        phone->texts.clear();
        const AppInfo pulled = reader.read(secondApk, path(QStringLiteral("icons/b.png")));
        QVERIFY2(pulled.ok, qPrintable(pulled.error));
        QCOMPARE(pulled.badging.label, QStringLiteral("Other's"));
        QCOMPARE(pulled.bytesFromPhone, QFileInfo(secondApk).size());
        QVERIFY(isSquareOf(pulled.iconFile, Qt::blue));
        QCOMPARE(phone->texts.filter(QStringLiteral("adb pull")).size(), 1);
        QVERIFY(tempIsEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAppInfo)
#include "tst_appinfo.moc"
