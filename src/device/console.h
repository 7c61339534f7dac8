#pragma once

#include "bridge/programrun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AdbClient;

// Why a script pushed to `devicePath` is not there whole, in adb's words and the program's; empty when it
// is. adb 30 and later count a file the phone refused as pushed too, so adb's error line decides first,
// then one "ls -l" must show the local file's size (an older script of that name may be there).
QString pushedScriptProblem(AdbClient &adb, const QString &pushOutput, const QString &localFile,
                            const QString &devicePath, bool shortListing);

// Where "Run SH Script" puts a script for one run, the first folder first: the shell user may write in
// /data/local/tmp/ from Android 2.x on; older phones take it on the card.
inline const QStringList kScriptFolders = {QStringLiteral("/data/local/tmp/"), QStringLiteral("/sdcard/")};

// A script pushed for one run under a name of its own, never over a file of the user's. `path` is empty
// when no folder took it whole; `problems` says why, a line for each folder tried.
struct PushedScript {
    QString path;
    QStringList problems;
};
PushedScript pushScript(AdbClient &adb, const QString &localFile, bool shortListing);

// "adb shell" for a command the user typed. A command that starts with "-" gets a leading blank: it keeps
// both adb (which reads options before the command) and the phone's "sh -c" (which reads options in the
// command text itself) from taking it for an option of theirs; the shell ignores the blank.
CommandLine consoleCommandLine(const QString &command);

// Each "adb shell" is a new shell: the console carries the folder from one to the next and asks the shell
// after each command who it runs as and where it is, in one last line the transcript never shows.
inline constexpr auto kShellStateMarker = "[velbrook-shell:";
// The text run for `command` in `folder` (none: where adb starts the shell). A folder that is gone runs
// nothing: a command meant for one folder must not run in another.
QString consoleShellText(const QString &command, const QString &folder);

struct ShellState {
    bool root = false;
    QString folder;
};
// The marker line as the phone printed it ("[velbrook-shell:uid=0(root) gid=0(root)|/sdcard]").
std::optional<ShellState> parseShellState(const QString &line);

// The commands sent from the console, oldest first, kept in a small text file between runs.
// Up and Down walk them as a terminal does: Up from the entry line goes to the newest, Down past the
// newest gives back what was being typed.
class CommandHistory {
public:
    static constexpr int kLimit = 500;

    // Reads the file, one command a line; later add() calls write it back.
    void load(const QString &file);
    const QString &file() const { return m_file; }
    const QStringList &entries() const { return m_entries; }

    // Keeps the command as typed, blanks included; not when it repeats the newest entry.
    void add(const QString &command);

    QString up(const QString &typed);
    QString down(const QString &typed);
    // Back to the entry line, as after sending.
    void resetWalk();

private:
    void save() const;

    QStringList m_entries;
    QString m_file;
    qsizetype m_position = 0; // m_entries.size() is the entry line
    QString m_draft;
};

// The console's transcript and the one shell command it runs at a time. Each command adds " ", the prompt
// (the folder, then "#" for root or "$") + command + " ", " " and then its output, trimmed as it arrives:
// leading blank lines are skipped and trailing ones held back until more text follows.
class ShellConsole final : public QObject {
    Q_OBJECT
public:
    static constexpr auto kStoppedLine = "^C (stopped)";
    // A command that never ends (logcat) must not fill the memory: the oldest half goes beyond this.
    static constexpr qsizetype kTranscriptLimit = 4 * 1024 * 1024;

    explicit ShellConsole(std::unique_ptr<ProgramRun> runner = std::make_unique<ProgramRun>(),
                          QObject *parent = nullptr);

    const QString &transcript() const { return m_transcript; }
    // Where the next command runs; empty until the phone's shell said.
    const QString &folder() const { return m_folder; }
    // "/sdcard $ ", or "# " as root; before the first answer root is what the start-up probe found.
    QString prompt() const;
    CommandHistory &history() { return m_history; }
    bool isRunning() const { return m_running; }

    // Runs `command` on the phone's shell and keeps it in the history. False when nothing was started:
    // a blank command, or another one still running.
    bool send(const QString &command);
    // The same without touching the history (the run of a pushed script).
    bool run(const QString &command);
    void stop();

signals:
    // Text added at the end of the transcript (not always whole lines).
    void appended(const QString &text);
    void runningChanged(bool running);

private:
    void append(const QString &text);
    void receive(const QString &text);
    void show(QString text);
    void finish(RunEnd end);

    std::unique_ptr<ProgramRun> m_runner;
    CommandHistory m_history;
    QString m_transcript;
    QString m_folder;
    std::optional<bool> m_root;
    // The marker, or what may become its start, held back from the transcript.
    QString m_tail;
    // The whole line of the shell's state; the error stream may still say more after it.
    QString m_stateLine;
    bool m_running = false;
    bool m_seenText = false;
    bool m_pendingCr = false;
    QString m_heldBlanks;
};
