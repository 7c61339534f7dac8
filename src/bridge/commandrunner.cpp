#include "bridge/commandrunner.h"

#include "bridge/adbprocess.h"
#include "platform/process.h"

QStringList splitCommandLine(const QString &text)
{
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool haveArg = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            qsizetype slashes = 0;
            while (i < n && text.at(i) == u'\\') {
                ++slashes;
                ++i;
            }
            if (i < n && text.at(i) == u'"') {
                current += QString(slashes / 2, u'\\');
                if (slashes % 2 == 1)
                    current += u'"';
                else
                    inQuotes = !inQuotes;
            } else {
                current += QString(slashes, u'\\');
                --i;
            }
            haveArg = true;
        } else if (c == u'"') {
            // Inside quotes, a doubled quote is a literal quote (the rule since 2008 runtimes).
            if (inQuotes && i + 1 < n && text.at(i + 1) == u'"') {
                current += u'"';
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            haveArg = true;
        } else if ((c == u' ' || c == u'\t') && !inQuotes) {
            if (haveArg) {
                args << current;
                current.clear();
                haveArg = false;
            }
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (haveArg)
        args << current;
    return args;
}

CommandLine parseCommandLine(const QString &text)
{
    CommandLine command;
    command.text = text;
    QStringList args = splitCommandLine(text);
    if (!args.isEmpty())
        command.program = args.takeFirst();
    command.arguments = args;
    return command;
}

void CancelToken::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
    if (m_pid > 0)
        platform::killProcessTree(m_pid);
}

bool CancelToken::isCancelled() const
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled;
}

void CancelToken::reset()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = false;
}

bool CancelToken::attach(qint64 pid)
{
    QMutexLocker lock(&m_mutex);
    m_pid = pid;
    if (m_cancelled && pid > 0)
        platform::killProcessTree(pid);
    return !m_cancelled;
}

void CancelToken::detach()
{
    QMutexLocker lock(&m_mutex);
    m_pid = 0;
}

namespace {

class ProcessCommandRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool wantOutput) override
    {
        return TADBProcess::runAndWait(command, wantOutput);
    }
    QString runWith(const CommandLine &command, bool wantOutput, const RunOptions &options) override
    {
        return TADBProcess::runAndWait(command, wantOutput, options);
    }
};

} // namespace

std::shared_ptr<CommandRunner> defaultCommandRunner()
{
    static const std::shared_ptr<CommandRunner> runner = std::make_shared<ProcessCommandRunner>();
    return runner;
}
