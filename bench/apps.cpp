// The applications list on a current phone with 300 packages. A warm load (every package known to the
// catalogue) must cost about the bare package-manager commands it needs (ratio_warm <= 1.5); a cold
// load (listing, then every label and icon) must take at most twice one bare `adb exec-out` that streams the
// same members of every package to nowhere (ratio_cold <= 2.0), moving at most a tenth of the packages' bytes
// (bytes_ratio <= 0.10). Prints the seconds of both (medians of five cold loads, each from an empty catalogue, and
// five bare streams), the time to the first labelled row, the peak memory with the rows shown, and
// ratio=<ratio_warm>.
#include "apps/appinfo.h"
#include "apps/applisting.h"
#include "apps/appsloader.h"
#include "apps/appstorage.h"
#include "apps/badging.h"
#include "appsui/appspane.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "common/scriptedprompter.h"
#include "lists/filelistmodel.h"
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

namespace {

class QuietLog final : public OperationLog {
public:
    void beginOperation(std::function<void()>) override {}
    void logLine(const QString &text) override
    {
        if (text == QStringLiteral("Failed"))
            ++failed;
        if ((text == QStringLiteral("Complete") || text == QStringLiteral("Failed")) && firstRow < 0 && clock)
            firstRow = clock->nsecsElapsed() / 1e9;
    }
    void endOperation(const QString & = {}) override {}
    QWidget *questionParent() override { return nullptr; }
    int failed = 0;
    const QElapsedTimer *clock = nullptr;
    double firstRow = -1;
};

// The members the cold load reads of every package, streamed by the phone in one call to nowhere: what reading
// them costs without anything else. The icons' names come from the APKs themselves, read on the PC.
QString bareStreamCommand(const QString &root, const QStringList &apks)
{
    QString command;
    AdbClient aapt;
    for (const QString &apk : apks) {
        const ApkBadging badging = readBadging(aapt, root + apk);
        command += QStringLiteral("unzip -p %1 AndroidManifest.xml resources.arsc %2 >/dev/null 2>&1;")
                       .arg(quoteDevicePath(apk), quoteDevicePath(badging.iconPath));
    }
    return command;
}

double bareStreamSeconds(const QString &command)
{
    QElapsedTimer timer;
    timer.start();
    QProcess adb;
    adb.setStandardOutputFile(QProcess::nullDevice());
    adb.start(QStringLiteral("adb"), {QStringLiteral("exec-out"), command});
    adb.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int packages = argc > 1 ? std::atoi(argv[1]) : 300;

    QTemporaryDir dir;
    QProcess sim;
    if (!bench::startPhone(sim, QStringLiteral(VB_PHONESIM), dir.filePath(QStringLiteral("root")),
                           {QStringLiteral("--profile"), QStringLiteral("modern"), QStringLiteral("--apps"),
                            QString::number(packages)})) {
        std::fprintf(stderr, "the simulated phone did not start\n");
        return 1;
    }

    AppState &state = appState();
    state.dataDir = dir.filePath(QStringLiteral("data"));
    state.tempDir = state.dataDir + QStringLiteral("/temp");
    state.iconsDir = state.dataDir + QStringLiteral("/icons");
    QDir().mkpath(state.tempDir);
    QDir().mkpath(state.iconsDir);

    // Questions are answered No: a load that still asks shows as unread rows.
    setPrompter(std::make_unique<ScriptedPrompter>());
    AdbClient mainAdb;
    mainAdb.setCancelToken(std::make_shared<CancelToken>());
    state.shortListing = !mainAdb.detectLsOptions();
    AppStorage &storage = appStorage();
    storage.access = detectAppsAccess(mainAdb);
    setAppStorageMode(storage, AppStorageType::Internal);
    if (storage.access != AppsAccess::PackageManager) {
        std::fprintf(stderr, "the phone's application folders were listed; expected the package manager\n");
        return 1;
    }

    // Cold: the listing, then every label and icon read, as the background reading after the first load does. A
    // round alternates with the bare stream, and the medians are compared: one round of each is at the mercy of
    // whatever else the machine does at that moment.
    QuietLog log;
    QElapsedTimer timer;
    std::vector<double> cold, bareStream, firstRows;
    qint64 bytesFromPhone = 0;
    qint64 totalBytes = 0;
    QString bareCommand;
    for (int round = 0; round < 5; ++round) {
        QDir(state.iconsDir).removeRecursively();
        QDir().mkpath(state.iconsDir);
        QFile::remove(state.dataDir + QStringLiteral("/list.a"));
        AppsLoader coldLoader(mainAdb, storage, state.dataDir);
        AppInfoReader reader(mainAdb, state.tempDir);
        AppsInfoUpdater updater(coldLoader, reader);
        log.firstRow = -1;
        timer.start();
        log.clock = &timer;
        const AppsLoad first = coldLoader.load(AppsFilter::All, AppsSort::Date, state.shortListing, false);
        updater.updateMissingInfo(first.rows, false, log);
        cold.push_back(timer.nsecsElapsed() / 1e9);
        log.clock = nullptr;
        firstRows.push_back(log.firstRow);
        if (round == 0) {
            bytesFromPhone = updater.bytesFromPhone();
            QStringList apks;
            for (const ListItem &row : first.rows) {
                totalBytes += row.sizeText.toLongLong();
                apks << coldLoader.devicePath(row);
            }
            bareCommand = bareStreamCommand(dir.filePath(QStringLiteral("root")), apks);
        }
        bareStream.push_back(bareStreamSeconds(bareCommand));
    }
    const double coldSeconds = bench::median(cold);
    const double bareCold = bench::median(bareStream);
    const double ratioCold = coldSeconds / bareCold;
    const double bytesRatio = double(bytesFromPhone) / double(std::max<qint64>(totalBytes, 1));

    AppsLoader loader(mainAdb, storage, state.dataDir);
    // Warm: the pane's whole load (listing, catalogue, icons) against the bare commands it runs.
    AppsPane pane(mainAdb, storage, log);
    std::vector<double> warm, bare, listing;
    QStringList paths;
    const QString listCommand = loader.packageListCommand(AppsFilter::All);
    for (const QString &line : bench::adb({QStringLiteral("shell"), listCommand}).split(u'\n')) {
        const qsizetype eq = line.lastIndexOf(QStringLiteral(".apk="));
        if (line.startsWith(QStringLiteral("package:")) && eq > 0)
            paths << line.mid(8, eq + 4 - 8);
    }
    QStringList statCommands = apkPartsStatCommands(paths, 60000);
    statCommands << packageDumpCommand();
    int rows = 0;
    int missing = 0;
    for (int round = 0; round < 9; ++round) {
        timer.restart();
        bench::adb({QStringLiteral("shell"), listCommand});
        for (const QString &command : statCommands)
            bench::adb({QStringLiteral("shell"), command});
        bare.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        pane.loadApplications();
        warm.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        loader.load(AppsFilter::All, AppsSort::Date, state.shortListing, false);
        listing.push_back(timer.nsecsElapsed() / 1e9);
        rows = pane.model()->rowCount();
        missing = 0;
        for (const ListItem &row : pane.model()->rows())
            missing += row.label.isEmpty() ? 1 : 0;
    }
    bench::adb({QStringLiteral("kill-server")});
    sim.kill();
    sim.waitForFinished();

    const double ratio = bench::median(warm) / bench::median(bare);
    std::printf("packages=%d rows=%d unread=%d failed=%d\n", packages, rows, missing, log.failed);
    std::printf("cold_seconds=%.2f bare_stream_seconds=%.2f ratio_cold=%.3f first_row_seconds=%.2f\n", coldSeconds,
                bareCold, ratioCold, bench::median(firstRows));
    std::printf("bytes_from_phone=%lld packages_bytes=%lld bytes_ratio=%.4f\n", bytesFromPhone, totalBytes,
                bytesRatio);
    std::printf("warm_seconds=%.4f bare_seconds=%.4f bare_commands=%lld ratio_warm=%.3f\n", bench::median(warm),
                bench::median(bare), statCommands.size() + 1LL, ratio);
    std::printf("loader_seconds=%.4f\n", bench::median(listing));
    std::printf("peak_memory=%s\n", qPrintable(bench::peakMemory()));
    std::printf("ratio=%.3f\n", ratio);
    return ratio <= 1.5 && ratioCold <= 2.0 && bytesRatio <= 0.10 && missing == 0 && rows >= packages ? 0 : 1;
}
