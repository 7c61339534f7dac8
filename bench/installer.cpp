// The installer's folder with 200 APKs. The first read runs aapt on several files at once and must take at most
// 0.7 of 200 aapt runs one after another; reading the folder again must take at most a tenth of the first read,
// since nothing changed. Prints the seconds of each, both ratios and ratio=<first/sequential>.
// Arguments: [files] [aapt runs at once, default one per core].
#include "apps/installerfolder.h"
#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

const QString kFramework = QStringLiteral("/usr/share/android-framework-res/framework-res.apk");

void write(const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(name.section(u'/', 0, -2));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// One APK with its own label, icon colour and a stored asset of a few hundred KB, so that the files differ.
bool buildApk(const QString &work, const QString &apk, int i)
{
    const QString src = work + QStringLiteral("/src%1").arg(i);
    const QString package = QStringLiteral("org.bench.app%1").arg(i, 3, 10, QLatin1Char('0'));
    write(src + QStringLiteral("/AndroidManifest.xml"),
          QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                         "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\" package=\"%1\" "
                         "android:versionCode=\"%2\" android:versionName=\"1.%2\">\n"
                         "  <application android:label=\"@string/app_name\" android:icon=\"@drawable/icon\"/>\n"
                         "</manifest>\n")
              .arg(package)
              .arg(i)
              .toUtf8());
    write(src + QStringLiteral("/res/values/strings.xml"),
          QStringLiteral("<resources><string name=\"app_name\">Bench app %1</string></resources>\n").arg(i).toUtf8());
    QImage icon(48, 48, QImage::Format_RGB32);
    icon.fill(QColor::fromHsv(i % 360, 200, 200));
    QDir().mkpath(src + QStringLiteral("/res/drawable"));
    icon.save(src + QStringLiteral("/res/drawable/icon.png"));
    QByteArray asset(200 * 1024 + (i % 10) * 20 * 1024, '\0');
    QRandomGenerator generator(quint32(i) + 1);
    generator.fillRange(reinterpret_cast<quint32 *>(asset.data()), asset.size() / 4);
    write(src + QStringLiteral("/assets/blob.bin"), asset);

    QProcess aapt;
    aapt.setProcessChannelMode(QProcess::MergedChannels);
    aapt.start(QStringLiteral("aapt"),
               {QStringLiteral("package"), QStringLiteral("-f"), QStringLiteral("-0"), QStringLiteral("bin"),
                QStringLiteral("-M"), src + QStringLiteral("/AndroidManifest.xml"), QStringLiteral("-S"),
                src + QStringLiteral("/res"), QStringLiteral("-A"), src + QStringLiteral("/assets"),
                QStringLiteral("-I"), kFramework, QStringLiteral("-F"), apk});
    return aapt.waitForFinished(120000) && aapt.exitCode() == 0;
}

template <typename Work> void onAllCores(int count, Work work)
{
    std::atomic<int> next = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < QThread::idealThreadCount(); ++t)
        threads.emplace_back([&] {
            for (int i = next++; i < count; i = next++)
                work(i);
        });
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    if (!QFile::exists(kFramework)) {
        std::fprintf(stderr, "aapt's framework resources are not installed\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("apks"));
    QDir().mkpath(folder);
    std::atomic<int> failed = 0;
    onAllCores(count, [&](int i) {
        if (!buildApk(dir.filePath(QStringLiteral("work")), folder + QStringLiteral("/app%1.apk").arg(i), i))
            ++failed;
    });
    if (failed > 0) {
        std::fprintf(stderr, "%d APKs could not be built\n", int(failed));
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        QProcess aapt;
        aapt.setProcessChannelMode(QProcess::MergedChannels);
        aapt.start(QStringLiteral("aapt"),
                   {QStringLiteral("dump"), QStringLiteral("badging"), folder + QStringLiteral("/app%1.apk").arg(i)});
        aapt.waitForFinished(60000);
        aapt.readAll();
    }
    const double sequential = timer.nsecsElapsed() / 1e9;

    InstallerReadOptions options;
    options.tempDir = dir.filePath(QStringLiteral("temp"));
    options.iconsDir = dir.filePath(QStringLiteral("icons"));
    options.workers = argc > 2 ? std::atoi(argv[2]) : 0;
    options.cacheFile = dir.filePath(QStringLiteral("data/installer.json"));
    timer.restart();
    const InstallerFolder first = readInstallerFolder(folder, options);
    const double firstRead = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const InstallerFolder second = readInstallerFolder(folder, options);
    const double secondRead = timer.nsecsElapsed() / 1e9;
    if (first.rows.size() != count || second.rows.size() != count) {
        std::fprintf(stderr, "read %d and %d rows of %d\n", int(first.rows.size()), int(second.rows.size()), count);
        return 1;
    }

    const double parallelRatio = firstRead / sequential;
    const double cacheRatio = secondRead / firstRead;
    std::printf("files=%d threads=%d\n", count, QThread::idealThreadCount());
    std::printf("sequential_aapt_s=%.3f first_read_s=%.3f second_read_s=%.4f\n", sequential, firstRead, secondRead);
    std::printf("first/sequential=%.3f (<= 0.7) second/first=%.4f (<= 0.1) peak=%s\n", parallelRatio, cacheRatio,
                qPrintable(bench::peakMemory()));
    std::printf("ratio=%.3f\n", parallelRatio);
    return parallelRatio <= 0.7 && cacheRatio <= 0.1 ? 0 : 1;
}
