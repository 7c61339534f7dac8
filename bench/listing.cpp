// Times the phone pane's fill of a folder with 20 files and of one with 20,000 files against the bare adb
// listing of the same folder on a simulated phone. Opening a folder must cost about one ls: both ratios,
// and so the last line, ratio=<the larger fill/adb>, must stay at or below 1.25.
#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "lists/filelistmodel.h"
#include "base/appstate.h"
#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;

    QTemporaryDir dir;
    QProcess sim;
    if (!bench::startPhone(sim, QStringLiteral(VB_PHONESIM), dir.filePath(QStringLiteral("root")),
                           {QStringLiteral("--profile"), QStringLiteral("rooted")})) {
        std::fprintf(stderr, "the simulated phone did not start\n");
        return 1;
    }

    auto makeFolder = [&dir](const QString &name, int count) {
        QDir().mkpath(dir.filePath(QStringLiteral("root/mnt/sdcard/") + name));
        for (int i = 0; i < count; ++i) {
            QFile f(dir.filePath(QStringLiteral("root/mnt/sdcard/%1/file %2 with a longer name.dat")
                                     .arg(name)
                                     .arg(i, 5, 10, QLatin1Char('0'))));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(i % 50, 'x'));
        }
    };
    makeFolder(QStringLiteral("small"), 20);
    makeFolder(QStringLiteral("big"), files);

    AdbClient mainAdb;
    appState().shortListing = !mainAdb.detectLsOptions();
    DevicePane pane(DevicePane::Side::Right, mainAdb);

    // Median seconds of the pane's fill and of the bare listing; negative when the rows are wrong.
    auto measure = [&](const QString &folder, int rows, int rounds) -> std::pair<double, double> {
        std::vector<double> fill, bare;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            QProcess ls;
            ls.start(QStringLiteral("adb"),
                     {QStringLiteral("shell"), QStringLiteral("ls -l -a -e \"") + folder + u'"'});
            ls.waitForFinished(120000);
            bare.push_back(timer.nsecsElapsed() / 1e9);
            timer.restart();
            pane.fillDeviceList(folder);
            fill.push_back(timer.nsecsElapsed() / 1e9);
            if (pane.model()->rowCount() != rows) {
                std::fprintf(stderr, "%s: expected %d rows, got %d (%s)\n", qPrintable(folder), rows,
                             pane.model()->rowCount(), qPrintable(pane.note()));
                return {-1, 1};
            }
        }
        return {bench::median(fill), bench::median(bare)};
    };
    const auto [smallFill, smallBare] = measure(QStringLiteral("/sdcard/small/"), 20, 21);
    const auto [bigFill, bigBare] = measure(QStringLiteral("/sdcard/big/"), files, 9);
    if (smallFill < 0 || bigFill < 0)
        return 1;

    bench::adb({QStringLiteral("kill-server")});
    sim.kill();
    sim.waitForFinished();
    const double smallRatio = smallFill / smallBare;
    const double bigRatio = bigFill / bigBare;
    std::printf("files=20 fill_seconds=%.4f adb_seconds=%.4f ratio_small=%.3f\n", smallFill, smallBare, smallRatio);
    std::printf("files=%d fill_seconds=%.3f adb_seconds=%.3f ratio_big=%.3f\n", files, bigFill, bigBare, bigRatio);
    std::printf("peak_memory=%s\n", qPrintable(bench::peakMemory()));
    const double ratio = std::max(smallRatio, bigRatio);
    std::printf("ratio=%.3f\n", ratio);
    return ratio <= 1.25 ? 0 : 1;
}
