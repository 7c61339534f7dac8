// Times the file browser's pull and delete of 300 checked files against one bare adb command doing the same
// on a simulated phone, with short ASCII names and with 49-letter Cyrillic ones (two bytes a letter), then the
// pull of one 200 MB file against a bare adb pull of it. A batch must cost about one adb call (every ratio at
// or below 1.5: ratio=<the larger of the ASCII pair>, ratio_unicode=<the larger of the Cyrillic pair>), and
// the large file at most 1.1 times adb's time with at least 5 progress updates on its way. The pane's
// relisting after the delete is left out (bench/listing times it).
#include "base/appstate.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "common/scriptedprompter.h"
#include "files/devicepane.h"
#include "files/fileoperations.h"
#include "lists/filelistmodel.h"
#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

namespace {

class CountingLog final : public OperationLog {
public:
    void beginOperation(std::function<void()>) override { lines.clear(); }
    void logLine(const QString &text) override { lines << text; }
    void reportProgress(const TransferProgress &progress) override
    {
        // Updates that show part of a file on its way.
        if (progress.bytesDone > lastBytes && progress.bytesDone < progress.bytesTotal)
            ++partialUpdates;
        lastBytes = progress.bytesDone;
    }
    void endOperation(const QString & = {}) override {}
    QWidget *questionParent() override { return nullptr; }
    QStringList lines;
    qint64 lastBytes = 0;
    int partialUpdates = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 300;
    const int rounds = 7;

    QTemporaryDir dir;
    QProcess sim;
    if (!bench::startPhone(sim, QStringLiteral(VB_PHONESIM), dir.filePath(QStringLiteral("root")),
                           {QStringLiteral("--profile"), QStringLiteral("modern")})) {
        std::fprintf(stderr, "the simulated phone did not start\n");
        return 1;
    }
    auto *prompter = new ScriptedPrompter;
    setPrompter(std::unique_ptr<Prompter>(prompter));
    AdbClient adb;
    appState().shortListing = !adb.detectLsOptions();
    QWidget window;
    CountingLog log;
    DevicePane right(DevicePane::Side::Right, adb);
    DevicePane left(DevicePane::Side::Left, adb);
    struct PhoneOnBothSides final : BrowserLayout {
        bool appsPageShown() const override { return false; }
        bool leftShowsPhone() const override { return true; }
        QString pcFolder() const override { return {}; }
    } layout;
    FileOperations ops(&window, layout, adb, log, right, left, {});

    struct Times {
        std::vector<double> pull, barePull, remove, bareRemove;
        double ratio() const
        {
            return std::max(bench::median(pull) / bench::median(barePull),
                            bench::median(remove) / bench::median(bareRemove));
        }
    };
    // `rounds` pulls and deletes of `files` files named by `name` in a phone folder of its own.
    auto measure = [&](const QString &batch, const std::function<QString(int)> &name, Times &times) {
        const QString upload = dir.filePath(batch);
        QDir().mkpath(upload);
        QStringList paths;
        const QString folder = QStringLiteral("/sdcard/") + batch + u'/';
        for (int i = 0; i < files; ++i) {
            QFile f(upload + u'/' + name(i));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(100 + i % 900, 'x'));
            paths << folder + name(i);
        }
        auto putFiles = [&] { bench::adb({QStringLiteral("push"), upload, QStringLiteral("/sdcard/")}); };
        putFiles();
        auto checkAll = [&] {
            right.fillDeviceList(folder);
            right.model()->setChecks(QList<bool>(right.model()->rowCount(), true));
            return right.model()->rowCount() == files;
        };
        for (int round = 0; round < rounds; ++round) {
            const QString pcBare = dir.filePath(batch + QStringLiteral("-bare%1").arg(round));
            const QString pcOwn = dir.filePath(batch + QStringLiteral("-own%1").arg(round)) + u'/';
            QDir().mkpath(pcBare);
            QDir().mkpath(pcOwn);
            if (!checkAll()) {
                std::fprintf(stderr, "the folder shows %d rows\n", right.model()->rowCount());
                return false;
            }
            QElapsedTimer timer;
            timer.start();
            bench::adb(QStringList{QStringLiteral("pull")} + paths + QStringList{pcBare});
            times.barePull.push_back(timer.nsecsElapsed() / 1e9);
            prompter->directories << pcOwn;
            timer.restart();
            ops.pullChecked(right);
            times.pull.push_back(timer.nsecsElapsed() / 1e9);
            if (QDir(pcOwn).entryList(QDir::Files).size() != files || log.lines.filter(QStringLiteral("Failed")).size()) {
                std::fprintf(stderr, "the pull did not bring every file\n");
                return false;
            }

            QString rm = QStringLiteral("rm");
            for (const QString &path : paths)
                rm += u' ' + quoteDevicePath(path);
            timer.restart();
            bench::adb({QStringLiteral("shell"), rm});
            times.bareRemove.push_back(timer.nsecsElapsed() / 1e9);
            putFiles();
            checkAll();
            prompter->questionAnswers << true;
            timer.restart();
            ops.deleteChecked(right);
            times.remove.push_back(timer.nsecsElapsed() / 1e9);
            if (log.lines.count(QStringLiteral("Complete")) != files) {
                std::fprintf(stderr, "the delete did not remove every file\n");
                return false;
            }
            putFiles();
        }
        return true;
    };
    Times ascii;
    Times cyrillic;
    if (!measure(QStringLiteral("batch"),
                 [](int i) -> QString { return QStringLiteral("log %1.txt").arg(i, 4, 10, QLatin1Char('0')); }, ascii) ||
        !measure(QStringLiteral("songs"),
                 [](int i) -> QString {
                     return QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0')) + QString(45, QChar(0x0430 + i % 32));
                 },
                 cyrillic))
        return 1;

    // One large file: the pull must cost what adb's does and show its bytes on the way.
    const qint64 bigSize = 200 * 1000 * 1000;
    {
        QFile big(dir.filePath(QStringLiteral("big.bin")));
        big.open(QIODevice::WriteOnly);
        const QByteArray block(1 << 20, 'b');
        for (qint64 left = bigSize; left > 0; left -= block.size())
            big.write(block.constData(), std::min<qint64>(left, block.size()));
    }
    bench::adb({QStringLiteral("shell"), QStringLiteral("mkdir -p /sdcard/big")});
    bench::adb({QStringLiteral("push"), dir.filePath(QStringLiteral("big.bin")), QStringLiteral("/sdcard/big/")});
    QFile::remove(dir.filePath(QStringLiteral("big.bin")));
    std::vector<double> bigPull, bareBigPull;
    int fewestUpdates = std::numeric_limits<int>::max();
    for (int round = 0; round < 5; ++round) {
        const QString pcBare = dir.filePath(QStringLiteral("bigbare"));
        const QString pcOwn = dir.filePath(QStringLiteral("bigown")) + u'/';
        QDir().mkpath(pcBare);
        QDir().mkpath(pcOwn);
        right.fillDeviceList(QStringLiteral("/sdcard/big/"));
        right.model()->setChecks({true});
        QElapsedTimer timer;
        timer.start();
        bench::adb({QStringLiteral("pull"), QStringLiteral("/sdcard/big/big.bin"), pcBare});
        bareBigPull.push_back(timer.nsecsElapsed() / 1e9);
        prompter->directories << pcOwn;
        log.partialUpdates = 0;
        log.lastBytes = 0;
        timer.restart();
        ops.pullChecked(right);
        bigPull.push_back(timer.nsecsElapsed() / 1e9);
        fewestUpdates = std::min(fewestUpdates, log.partialUpdates);
        if (QFileInfo(pcOwn + QStringLiteral("big.bin")).size() != bigSize) {
            std::fprintf(stderr, "the large file did not arrive whole\n");
            return 1;
        }
        QDir(pcBare).removeRecursively();
        QDir(pcOwn).removeRecursively();
    }

    bench::adb({QStringLiteral("kill-server")});
    sim.kill();
    sim.waitForFinished();
    for (const auto &[label, times] : {std::pair{"", &ascii}, std::pair{"cyrillic ", &cyrillic}}) {
        std::printf("%sfiles=%d pull_seconds=%.4f adb_pull_seconds=%.4f ratio_pull=%.3f\n", label, files,
                    bench::median(times->pull), bench::median(times->barePull),
                    bench::median(times->pull) / bench::median(times->barePull));
        std::printf("%sfiles=%d delete_seconds=%.4f adb_rm_seconds=%.4f ratio_delete=%.3f\n", label, files,
                    bench::median(times->remove), bench::median(times->bareRemove),
                    bench::median(times->remove) / bench::median(times->bareRemove));
    }
    const double bigRatio = bench::median(bigPull) / bench::median(bareBigPull);
    std::printf("bytes=%lld big_pull_seconds=%.4f adb_pull_seconds=%.4f ratio_big=%.3f progress_updates=%d\n",
                static_cast<long long>(bigSize), bench::median(bigPull), bench::median(bareBigPull), bigRatio,
                fewestUpdates);
    const double unicodeRatio = cyrillic.ratio();
    std::printf("ratio_unicode=%.3f\n", unicodeRatio);
    const double ratio = ascii.ratio();
    std::printf("ratio=%.3f\n", ratio);
    return ratio <= 1.5 && unicodeRatio <= 1.5 && bigRatio <= 1.1 && fewestUpdates >= 5 ? 0 : 1;
}
