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

} // namespace bench
