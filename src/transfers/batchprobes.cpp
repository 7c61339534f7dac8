#include "transfers/batchprobes.h"

#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "bridge/listingparser.h"
#include "platform/platform.h"

namespace {

// Without a limit of its own the system still refuses an argument list of a few hundred kilobytes.
constexpr qsizetype kUnboundedCommandLine = 100000;

} // namespace

qsizetype CommandLimits::commandLine() const
{
    if (m_commandLine > 0)
        return m_commandLine;
    const qsizetype platformLimit = platform::maxCommandLineLength();
    return platformLimit > 0 ? platformLimit : kUnboundedCommandLine;
}

qsizetype CommandLimits::shell()
{
    if (m_shell == 0)
        m_shell = shellTextLimit(m_adb.adbFeatures());
    return std::min(m_shell, commandLine());
}

qint64 PhoneFileSize::operator()(const QString &path)
{
    if (m_asking || (path == m_path && m_asked.isValid() && m_asked.elapsed() < 1000))
        return path == m_path ? m_last : -1;
    // A command of its own beside the transfer, not stopped by Cancel and never waited for long.
    m_asking = true;
    AdbClient probe(m_adb);
    probe.setCancelToken(nullptr);
    probe.setTimeout(3000);
    m_path = path;
    m_last = listedFileSize(probe, path, appState().shortListing);
    m_asked.start();
    m_asking = false;
    return m_last;
}
