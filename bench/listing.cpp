// Times the phone pane's fill of a folder with 20,000 files against the bare adb listing of the
// same folder on a simulated phone. The last line, ratio=<fill/adb>, must stay at or below 1.25.
#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/filelistmodel.h"
#include "files/listingparser.h"
#include "shell/appstate.h"

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

namespace {

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QString adb(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("adb"), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    }
    return QStringLiteral("unknown");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;

    QTemporaryDir dir;
    QProcess sim;
    sim.start(QStringLiteral(VB_PHONESIM),
              {QStringLiteral("--root"), dir.filePath(QStringLiteral("root")), QStringLiteral("--port"),
               QStringLiteral("0"), QStringLiteral("--profile"), QStringLiteral("rooted")});
    int port = 0;
    while (sim.waitForReadyRead(20000)) {
        const QString out = QString::fromUtf8(sim.readAll());
        const qsizetype at = out.indexOf(QStringLiteral("port="));
        if (at >= 0)
            port = out.mid(at + 5).section(u'\n', 0, 0).trimmed().toInt();
        if (out.contains(QStringLiteral("ready")))
            break;
    }
    if (port == 0) {
        std::fprintf(stderr, "the simulated phone did not start\n");
        return 1;
    }
    const QString folder = QStringLiteral("/sdcard/big/");
    QDir().mkpath(dir.filePath(QStringLiteral("root/mnt/sdcard/big")));
    for (int i = 0; i < files; ++i) {
        QFile f(dir.filePath(QStringLiteral("root/mnt/sdcard/big/file %1 with a longer name.dat").arg(i, 5, 10, QLatin1Char('0'))));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(i % 50, 'x'));
    }

    qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(freePort()));
    adb({QStringLiteral("start-server")});
    adb({QStringLiteral("connect"), QStringLiteral("127.0.0.1:%1").arg(port)});
    adb({QStringLiteral("wait-for-device")});

    TADB mainAdb;
    appState().ShortListing = !mainAdb.DetectLsOptions();
    DevicePane pane(DevicePane::Side::Right, mainAdb);

    std::vector<double> fill, bare;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        QProcess ls;
        ls.start(QStringLiteral("adb"), {QStringLiteral("shell"), QStringLiteral("ls -l -a -e \"") + folder + u'"'});
        ls.waitForFinished(120000);
        const qsizetype bytes = ls.readAll().size();
        bare.push_back(timer.nsecsElapsed() / 1e9);

        timer.restart();
        const QString raw = mainAdb.List(folder, QStringLiteral("-l -a -e"), false);
        const double runOnly = timer.nsecsElapsed() / 1e9;
        timer.restart();
        ListDeviceFolder(mainAdb, folder, appState().ShortListing, 0);
        const double listOnly = timer.nsecsElapsed() / 1e9;
        if (qEnvironmentVariableIsSet("VB_BENCH_DETAIL"))
            std::printf("run=%.3f list=%.3f bytes=%lld\n", runOnly, listOnly, static_cast<long long>(raw.size()));
        timer.restart();
        pane.FillDeviceList(folder);
        fill.push_back(timer.nsecsElapsed() / 1e9);
        if (pane.model()->rowCount() != files) {
            std::fprintf(stderr, "expected %d rows, got %d (adb printed %lld bytes)\n", files, pane.model()->rowCount(),
                         static_cast<long long>(bytes));
            return 1;
        }
    }

    adb({QStringLiteral("kill-server")});
    sim.kill();
    sim.waitForFinished();
    const double f = median(fill);
    const double b = median(bare);
    std::printf("files=%d fill_seconds=%.3f adb_seconds=%.3f\n", files, f, b);
    std::printf("peak_memory=%s\n", qPrintable(peakMemory()));
    std::printf("ratio=%.3f\n", f / b);
    return f / b <= 1.25 ? 0 : 1;
}
