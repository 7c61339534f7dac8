#pragma once

#include <QString>
#include <QStringList>

class OperationLog;
class Prompter;
class QWidget;
class AdbClient;

// Where the flash commands put their files on the phone.
inline constexpr auto kTempImage = "/sdcard/tempimage.img";
inline constexpr auto kTempUpdate = "/sdcard/tempupdate.zip";

// Whether the file on the phone is the chosen file: adb reported no failure in `pushOutput`, and the
// phone's file has its size, and its MD5 where the phone can compute one. `reason` says what differed,
// for the log.
struct PushCheck {
    bool ok = false;
    QString reason;
};
PushCheck checkPushedFile(AdbClient &adb, const QString &pushOutput, const QString &localFile,
                          const QString &devicePath, bool busybox, bool shortListing);

// The shell line that flashes a partition and prints the tool's exit status after its own output.
QString flashImageCommand(const QString &partition);
// Reads what flashImageCommand printed: true only for exit status 0 (the tool prints nothing or
// "header is the same" then).
bool flashImageSucceeded(const QString &output);
// What flash_image printed, without the status line the command adds.
QString withoutStatusLine(const QString &output);

// The reboot and flash commands of the "Phone" menu. Each asks first; the flash commands report
// every step in the operation log and say "Done" only for a step that succeeded.
class Flashing {
public:
    enum class Reboot { Regular, Recovery, Bootloader, PowerOff };
    enum class Partition { Recovery, Boot };

    Flashing(QWidget *window, AdbClient &adb, OperationLog &log, Prompter &prompter);

    void reboot(Reboot kind);
    void flashImage(Partition partition);
    void flashUpdate();

private:
    QString chooseFile(const QString &filter);
    void begin();
    void end();
    // Logs "Done" or, with the phone's words, "Failed"; returns `ok`.
    bool result(bool ok, const QString &output = QString());
    // After a failed or cancelled step: the temporary file goes, nothing more runs.
    void abandon(const QString &tempFile, bool cancelled);
    // Opens the log with `header`, pushes `source` to `target` and checks it arrived whole; false (the
    // operation ended) when not.
    bool pushChecked(const QStringList &header, const QString &source, const QString &target);

    QWidget *m_window;
    AdbClient &m_adb;
    OperationLog &m_log;
    Prompter &m_prompter;
};
