// Measures the CPU time the program spends while it waits for a 2-second child command.
// The wait must sleep in the event loop, not spin: the last line must stay below 0.1.
#include "bridge/adbutils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <ctime>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int result = 0;
    QTimer::singleShot(0, &app, [&] {
        AdbClient adb;
        QElapsedTimer wall;
        wall.start();
        const std::clock_t before = std::clock();
        const QString output =
            adb.runAdb(CommandLine{QStringLiteral("sleep"), {QStringLiteral("2")}, QStringLiteral("sleep 2")}).output;
        const std::clock_t after = std::clock();
        const double cpu = double(after - before) / CLOCKS_PER_SEC;
        std::printf("output=\"%s\"\n", qPrintable(output));
        std::printf("wall_seconds=%.3f\n", wall.elapsed() / 1000.0);
        std::printf("wait_cpu_seconds=%.4f\n", cpu);
        result = cpu < 0.1 && output != QStringLiteral("error") ? 0 : 1;
        QCoreApplication::exit(result);
    });
    QApplication::exec();
    return result;
}
