#include "device/externaltools.h"

#include "base/prompter.h"
#include "base/safefile.h"
#include "base/settings.h"
#include "bridge/adbutils.h"
#include "platform/localfiles.h"
#include "platform/platform.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>


namespace {

const QString kWebsite = QStringLiteral("https://velbrook.org/");

QString quotedArgument(const QString &text)
{
    return u'"' + text + u'"';
}

} // namespace

QUrl websiteUrl()
{
    return QUrl(kWebsite);
}

QUrl donateUrl()
{
    return QUrl(kWebsite + QStringLiteral("donate"));
}

QUrl sqliteBrowserDownloadUrl()
{
    return QUrl(QStringLiteral("https://sourceforge.net/projects/sqlitebrowser/"));
}

QUrl signApkDownloadUrl()
{
    return QUrl(kWebsite + QStringLiteral("?file_id=3"));
}

QString findDdms()
{
    const QStringList names = platform::ddmsFileNames();
    const QString adb = QStandardPaths::findExecutable(platform::adbFileName());
    if (!adb.isEmpty()) {
        // Newer SDKs keep adb in platform-tools and the monitor in tools beside it.
        const QDir adbDir = QFileInfo(adb).absoluteDir();
        const QStringList near = {adbDir.path(), adbDir.filePath(QStringLiteral("../tools"))};
        const QString found = QStandardPaths::findExecutable(names.at(0), near);
        if (!found.isEmpty())
            return found;
        if (const QString monitor = QStandardPaths::findExecutable(names.at(1), near); !monitor.isEmpty())
            return monitor;
    }
    for (const QString &name : names) {
        if (const QString found = QStandardPaths::findExecutable(name); !found.isEmpty())
            return found;
    }
    return QString();
}

void runDdms(QWidget *window, Prompter &prompter)
{
    const QString ddms = findDdms();
    const QStringList names = platform::ddmsFileNames();
    if (ddms.isEmpty()) {
        prompter.information(window, QStringLiteral("DDMS was not found: neither ") +
                                         names.join(QStringLiteral(" nor ")) +
                                         QStringLiteral(" is beside adb or on the search path."));
        return;
    }
    // A window of its own that runs for as long as the user likes: nothing waits for it.
    if (!QProcess::startDetached(ddms, {}))
        prompter.information(window, QStringLiteral("Could not start ") + ddms);
}

QString sqliteBrowserSuggestion(const QString &current)
{
    if (!current.trimmed().isEmpty())
        return current;
    return QStandardPaths::findExecutable(QStringLiteral("sqlitebrowser"));
}

QStringList missingSigningTools(const QString &folder)
{
    QStringList missing;
    const QDir dir(folder);
    for (const QString &name :
         {QStringLiteral("signapk.jar"), QStringLiteral("testkey.x509.pem"), QStringLiteral("testkey.pk8")}) {
        if (!QFileInfo(dir.filePath(name)).isFile())
            missing << QDir::toNativeSeparators(dir.filePath(name));
    }
    if (QStandardPaths::findExecutable(QStringLiteral("java")).isEmpty())
        missing << QStringLiteral("java (not on the search path)");
    return missing;
}

SignCommand signCommand(const QString &java, const QString &folder, const QString &file, const QString &written)
{
    const QDir dir(folder);
    const QFileInfo input(file);
    SignCommand command;
    command.program = java;
    command.output = written.isEmpty() ? input.dir().filePath(QStringLiteral("signed_") + input.fileName()) : written;
    command.arguments = {QStringLiteral("-jar"),
                         QDir::toNativeSeparators(dir.filePath(QStringLiteral("signapk.jar"))),
                         QDir::toNativeSeparators(dir.filePath(QStringLiteral("testkey.x509.pem"))),
                         QDir::toNativeSeparators(dir.filePath(QStringLiteral("testkey.pk8"))),
                         QDir::toNativeSeparators(input.absoluteFilePath()),
                         QDir::toNativeSeparators(command.output)};
    command.text = QStringLiteral("java -jar");
    for (qsizetype i = 1; i < command.arguments.size(); ++i)
        command.text += u' ' + quotedArgument(command.arguments.at(i));
    return command;
}

QString signingProblem(std::optional<int> exitCode, const QString &output, const QString &written)
{
    const QFileInfo result(written);
    if (exitCode == 0 && result.isFile() && result.size() > 0)
        return QString();
    QString why;
    if (!exitCode)
        why = output.trimmed() == QStringLiteral("error") ? QStringLiteral("java could not be started.")
                                                          : QStringLiteral("java was stopped.");
    else if (*exitCode != 0)
        why = QStringLiteral("java failed with exit code %1.").arg(*exitCode);
    else
        why = QStringLiteral("java ended without writing the signed file.");
    // A stack trace runs long; its last lines say what went wrong.
    QStringList lines;
    for (const QString &line : splitLines(output)) {
        if (!line.trimmed().isEmpty())
            lines << line;
    }
    const qsizetype kept = 6;
    if (lines.size() > kept)
        lines.remove(0, lines.size() - kept);
    return QStringLiteral("Signing failed: ") + why + QStringLiteral(" No signed file was saved.") +
           (lines.isEmpty() || !exitCode ? QString() : QStringLiteral("\n\n") + lines.join(u'\n'));
}

void signFile(QWidget *window, AdbClient &adb, Prompter &prompter, bool apk)
{
    const QString folder = programSettings().signApk;
    if (folder.isEmpty()) {
        prompter.information(window, QStringLiteral("Set this tool up in the settings before you use it."));
        return;
    }
    if (const QStringList missing = missingSigningTools(folder); !missing.isEmpty()) {
        prompter.information(window, QStringLiteral("Signing needs what is missing here:\n") + missing.join(u'\n'));
        return;
    }
    const QStringList chosen = prompter.chooseOpenFiles(
        window, QStringLiteral("Open"), apk ? QStringLiteral("Apk Files (*.apk)") : QStringLiteral("Zip Files (*.zip)"),
        QString());
    if (chosen.isEmpty())
        return;
    const QString file = chosen.constFirst();
    const QFileInfo input(file);
    QString target = input.dir().filePath(QStringLiteral("signed_") + input.fileName());
    if (QFileInfo::exists(target)) {
        switch (ReplaceQuestion(window, false).decide(target)) {
        case ReplaceQuestion::Decision::Write:
            if (!QFileInfo(target).isWritable()) {
                prompter.information(window, QStringLiteral("Cannot write ") + QDir::toNativeSeparators(target) +
                                                 QStringLiteral(": permission denied"));
                return;
            }
            break;
        case ReplaceQuestion::Decision::Skip:
            target = input.dir().filePath(freeFileName(input.absolutePath(), QFileInfo(target).fileName()));
            break;
        case ReplaceQuestion::Decision::Stop:
            return;
        }
    }

    // java writes beside the target under a name of its own: what a failed run leaves is removed, and an
    // older signed copy stays until a whole new one replaces it.
    QTemporaryFile written(input.dir().filePath(QStringLiteral(".signed-XXXXXX.part")));
    if (!written.open()) {
        prompter.information(window, QStringLiteral("Cannot write in ") +
                                         QDir::toNativeSeparators(input.absolutePath()) + QStringLiteral(": ") +
                                         written.errorString());
        return;
    }
    written.close();
    const SignCommand command =
        signCommand(QStandardPaths::findExecutable(QStringLiteral("java")), folder, file, written.fileName());
    const CommandResult result = adb.runAdb(CommandLine{command.program, command.arguments, command.text});
    if (const QString problem = signingProblem(result.exitStatus, result.output, written.fileName());
        !problem.isEmpty()) {
        prompter.information(window, problem);
        return;
    }
    // Replaces an older copy in one step.
    if (const QString error = platform::renameReplacing(written.fileName(), target); !error.isEmpty()) {
        prompter.information(window, QStringLiteral("Cannot write ") + QDir::toNativeSeparators(target) +
                                         QStringLiteral(": ") + error);
        return;
    }
    written.setAutoRemove(false);
    prompter.information(window, QStringLiteral("Signed file is saved as: ") + QFileInfo(target).fileName());
}
