#pragma once

// What the benchmarks share: a free port, a bare adb call, the median, and the peak memory.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <algorithm>
#include <vector>

namespace bench {

inline int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

inline QString adb(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("adb"), args);
    p.waitForFinished(600000);
    return QString::fromUtf8(p.readAll());
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline QString peakMemory()
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

// Starts the simulated phone with `arguments` (after --root and --port 0), connects a new adb server
// of this process to it and waits for it; false when it does not come up.
inline bool startPhone(QProcess &sim, const QString &program, const QString &root, const QStringList &arguments)
{
    sim.start(program,
              QStringList{QStringLiteral("--root"), root, QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    int port = 0;
    QString out;
    while (sim.waitForReadyRead(600000)) {
        out += QString::fromUtf8(sim.readAll());
        const qsizetype at = out.indexOf(QStringLiteral("port="));
        if (at >= 0)
            port = out.mid(at + 5).section(u'\n', 0, 0).trimmed().toInt();
        if (out.contains(QStringLiteral("ready")))
            break;
    }
    if (port == 0)
        return false;
    qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(freePort()));
    adb({QStringLiteral("start-server")});
    adb({QStringLiteral("connect"), QStringLiteral("127.0.0.1:%1").arg(port)});
    adb({QStringLiteral("wait-for-device")});
    return true;
}

} // namespace bench
