#include "device/flashing.h"

#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "bridge/listingparser.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kStatusMarker = QStringLiteral("flash_image status=");

QString localMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

// The size the phone reports for `devicePath`; -1 when it cannot tell (no such file, no reply).
qint64 deviceFileSize(AdbClient &adb, const QString &devicePath, bool busybox, bool shortListing)
{
    // stat where the phone has it (busybox, toybox); the old toolbox only has ls.
    const QString stat =
        adb.runShell((busybox ? QStringLiteral("busybox stat -c %s ") : QStringLiteral("stat -c %s ")) + devicePath);
    if (AdbClient::isNumber(stat) && !stat.isEmpty())
        return stat.toLongLong();
    return listedFileSize(adb, devicePath, shortListing);
}

} // namespace

PushCheck checkPushedFile(AdbClient &adb, const QString &pushOutput, const QString &localFile,
                          const QString &devicePath, bool busybox, bool shortListing)
{
    // adb 30 and later count a file the phone refused as pushed; an older file of that name may still be
    // there whole. adb's error line decides.
    if (transferFailed(pushOutput))
        return {false, QString()};
    const qint64 expected = QFileInfo(localFile).size();
    const qint64 onPhone = deviceFileSize(adb, devicePath, busybox, shortListing);
    if (onPhone < 0)
        return {false, devicePath + QStringLiteral(" is not on the phone")};
    if (onPhone != expected)
        return {false, devicePath + QStringLiteral(" has ") + QString::number(onPhone) + QStringLiteral(" bytes, ") +
                           QFileInfo(localFile).fileName() + QStringLiteral(" has ") + QString::number(expected)};
    // A phone without md5sum answers with an error; the size is all it can tell then.
    static const QRegularExpression digest(QStringLiteral("^([0-9a-fA-F]{32})\\s"));
    const QString sum =
        adb.runShell((busybox ? QStringLiteral("busybox md5sum ") : QStringLiteral("md5sum ")) + devicePath);
    const QRegularExpressionMatch match = digest.match(sum);
    if (match.hasMatch() && match.captured(1).toLower() != localMd5(localFile))
        return {false, devicePath + QStringLiteral(" differs from ") + QFileInfo(localFile).fileName() +
                           QStringLiteral(" (MD5)")};
    return {true, QString()};
}

QString flashImageCommand(const QString &partition)
{
    return QStringLiteral("flash_image ") + partition + u' ' + QLatin1String(kTempImage) + QStringLiteral("; echo ") +
           kStatusMarker + QStringLiteral("$?");
}

bool flashImageSucceeded(const QString &output)
{
    // A phone gone in between prints no status at all: that is no success either.
    const QStringList lines = splitLines(output);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (line.startsWith(kStatusMarker))
            return line.mid(kStatusMarker.size()) == QStringLiteral("0");
    }
    return false;
}

QString withoutStatusLine(const QString &output)
{
    // The status line is the program's own question to the phone, not what the tool said.
    QStringList kept;
    for (const QString &line : splitLines(output)) {
        if (!line.trimmed().startsWith(kStatusMarker))
            kept << line;
    }
    return kept.join(u'\n').trimmed();
}

Flashing::Flashing(QWidget *window, AdbClient &adb, OperationLog &log, Prompter &prompter)
    : m_window(window), m_adb(adb), m_log(log), m_prompter(prompter)
{
}

void Flashing::reboot(Reboot kind)
{
    const bool powerOff = kind == Reboot::PowerOff;
    if (!m_prompter.question(m_window, powerOff ? QStringLiteral("Do you want to switch off your phone now?")
                                                : QStringLiteral("Do you want to reboot your phone now?")))
        return;
    if (powerOff) {
        // "reboot -p" is the phone's own; the rest of the line is a comment for its shell.
        m_adb.runShell(QStringLiteral("reboot -p #poweroff device"), false);
        return;
    }
    const QString target = kind == Reboot::Recovery     ? QStringLiteral(" recovery")
                           : kind == Reboot::Bootloader ? QStringLiteral(" bootloader")
                                                        : QString();
    if (appState().busyboxPresent)
        m_adb.runShell(QStringLiteral("reboot") + target, false);
    else
        m_adb.runAdb(CommandLine{QStringLiteral("adb"),
                                 QStringList{QStringLiteral("reboot")} + target.split(u' ', Qt::SkipEmptyParts),
                                 QStringLiteral("adb reboot") + target},
                     false);
}

QString Flashing::chooseFile(const QString &filter)
{
    const QStringList files = m_prompter.chooseOpenFiles(m_window, QStringLiteral("Open"), filter, QString());
    return files.isEmpty() ? QString() : files.constFirst();
}

void Flashing::begin()
{
    if (const std::shared_ptr<CancelToken> &token = m_adb.cancelToken()) {
        token->reset();
        m_log.beginOperation([token] { token->cancel(); });
    } else {
        m_log.beginOperation();
    }
}

void Flashing::end()
{
    m_log.endOperation();
    if (m_adb.cancelToken())
        m_adb.cancelToken()->reset();
}

bool Flashing::result(bool ok, const QString &output)
{
    if (!ok && !output.isEmpty())
        m_log.logLine(output);
    m_log.logLine(ok ? QStringLiteral("Done") : QStringLiteral("Failed"));
    return ok;
}

void Flashing::abandon(const QString &tempFile, bool cancelled)
{
    if (m_adb.cancelToken())
        m_adb.cancelToken()->reset();
    if (cancelled)
        m_log.logLine(QStringLiteral("Cancelled"));
    // Half a file on the card must never be flashed by a later attempt or by hand.
    if (!tempFile.isEmpty())
        m_adb.removePath(tempFile, QString());
    m_log.logLine(QStringLiteral(" "));
    end();
}

bool Flashing::pushChecked(const QStringList &header, const QString &source, const QString &target)
{
    begin();
    for (const QString &line : header)
        m_log.logLine(line);
    const QString pushed = m_adb.pushFile(source, target);
    if (m_adb.isCancelled()) {
        abandon(target, true);
        return false;
    }
    const AppState &state = appState();
    const PushCheck check = checkPushedFile(m_adb, pushed, source, target, state.busyboxPresent, state.shortListing);
    if (!result(check.ok, check.ok ? QString() : trimOutput(pushed + u'\n' + check.reason))) {
        abandon(target, false);
        return false;
    }
    return true;
}

void Flashing::flashImage(Partition partition)
{
    const QString source = chooseFile(QStringLiteral("IMG Files (*.img)"));
    if (source.isEmpty() ||
        !m_prompter.question(m_window, QStringLiteral("Are you sure you want to flash this image file?")))
        return;
    const QString image = QLatin1String(kTempImage);
    if (!pushChecked({QStringLiteral("## Flashing Image ##"), QStringLiteral(" "),
                      QStringLiteral("Image source: ") + source, QStringLiteral(" "),
                      QStringLiteral("Starting operation..."), QStringLiteral(" "),
                      QStringLiteral("Pushing the image file to the SD card...")},
                     source, image))
        return;

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Remounting..."));
    // flash_image writes the partition itself: a remount that fails is reported, not fatal.
    const QString remount = trimOutput(
        m_adb.runAdb(CommandLine{QStringLiteral("adb"), {QStringLiteral("remount")}, QStringLiteral("adb remount")})
            .output);
    const QStringList remountLines = splitLines(remount);
    result(remount != QStringLiteral("error") && !remount.contains(QStringLiteral("fail"), Qt::CaseInsensitive) &&
               !remount.contains(QStringLiteral("not "), Qt::CaseInsensitive) &&
               std::none_of(remountLines.cbegin(), remountLines.cend(), [](const QString &l) { return isAdbError(l); }),
           remount);

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Flashing image file..."));
    const QString flashed = m_adb.runShell(
        flashImageCommand(partition == Partition::Recovery ? QStringLiteral("recovery") : QStringLiteral("boot")));
    if (m_adb.isCancelled())
        return abandon(image, true);
    if (!result(flashImageSucceeded(flashed), withoutStatusLine(flashed))) {
        // A partition the tool refused may hold half an image: no reboot into it.
        return abandon(image, false);
    }

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Removing the temporary image file..."));
    const QString removed = m_adb.removePath(image, QString());
    result(removed.isEmpty(), removed);

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Rebooting phone..."));
    const QString rebooted = m_adb.runShell(QStringLiteral("reboot recovery"));
    result(rebooted.isEmpty(), rebooted);
    m_log.logLine(QStringLiteral(" "));
    end();
}

void Flashing::flashUpdate()
{
    const QString source = chooseFile(QStringLiteral("Zip Files (*.zip)"));
    if (source.isEmpty() ||
        !m_prompter.question(m_window, QStringLiteral("Are you sure you want to flash this update file?")))
        return;
    const QString update = QLatin1String(kTempUpdate);
    if (!pushChecked({QStringLiteral("## Flashing Update ##"), QStringLiteral(" "),
                      QStringLiteral("Update source: ") + source, QStringLiteral(" "),
                      QStringLiteral("Starting operation..."), QStringLiteral(" "),
                      QStringLiteral("Pushing the update file to the SD card...")},
                     source, update))
        return;

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Writing commands..."));
    // Old toolboxes' mkdir knows no -p and complains about an existing folder: the writes below decide.
    m_adb.makeDir(QStringLiteral("/cache/recovery"), QStringLiteral("-p"));
    QString written = m_adb.runShell(QStringLiteral("echo 'boot-recovery' > /cache/recovery/command"));
    if (written.isEmpty())
        written =
            m_adb.runShell(QStringLiteral("echo '--update_package=SDCARD:tempupdate.zip' >> /cache/recovery/command"));
    if (m_adb.isCancelled())
        return abandon(QString(), true);
    // Without a whole command file recovery would not install the package: no reboot then.
    if (!result(written.isEmpty(), written))
        return abandon(QString(), false);

    m_log.logLine(QStringLiteral(" "));
    m_log.logLine(QStringLiteral("Rebooting phone to recovery..."));
    const QString rebooted = m_adb.runShell(QStringLiteral("reboot recovery"));
    result(rebooted.isEmpty(), rebooted);
    m_log.logLine(QStringLiteral(" "));
    end();
}
