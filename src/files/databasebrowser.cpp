#include "files/databasebrowser.h"

#include "base/appstate.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QWidget>

namespace {

// What the user is told about a browser that ended in failure: how it ended and its last lines.
QString browserFailure(const QString &program, int code, QProcess::ExitStatus status, const QString &output)
{
    QFile log(output);
    QStringList lines;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QString &line : splitLines(QString::fromLocal8Bit(log.readAll()))) {
            if (!line.trimmed().isEmpty())
                lines << line;
        }
    }
    const qsizetype kept = 4;
    if (lines.size() > kept)
        lines.remove(0, lines.size() - kept);
    const QString how = status == QProcess::NormalExit ? QStringLiteral(" ended with exit code %1.").arg(code)
                                                       : QStringLiteral(" crashed.");
    return program + how + (lines.isEmpty() ? QString() : u'\n' + lines.join(u'\n'));
}

} // namespace

void startDatabaseBrowser(QWidget *window, const QString &program, const QString &file)
{
    auto *process = new QProcess;
    const QString output = QDir(temporaryFolder()).filePath(QStringLiteral("database-browser.log"));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(output, QIODevice::Truncate);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, window, [window, process, program](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        prompter().information(window, QStringLiteral("Could not start ") + program);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, window,
                     [window, process, program, output](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || code != 0)
                             prompter().information(window, browserFailure(program, code, status, output));
                     });
    process->start(program, {file});
}
