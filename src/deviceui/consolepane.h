#pragma once

#include "device/console.h"

#include <QWidget>

class OperationLog;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class AdbClient;

// The "Console" page: the transcript `transcript`, the command box `commandBox` whose drop-down is the
// history, "Send", "Stop" and "Run SH Script".
class ConsolePane final : public QWidget {
    Q_OBJECT
public:
    static constexpr auto kHistoryFile = "console_history.txt";

    // `adb` pushes scripts and removes them after their run; `log` shows the push.
    ConsolePane(AdbClient &adb, OperationLog &log, QWidget *parent = nullptr,
                std::unique_ptr<ProgramRun> runner = std::make_unique<ProgramRun>());

    ShellConsole &console() { return *m_console; }
    QPlainTextEdit *transcript() const { return m_transcript; }
    QComboBox *commandBox() const { return m_commandBox; }

    void sendCommand();
    void runShScript();
    void stopCommand();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The history lives in the data folder, known only once start-up has run.
    void loadHistory();
    void fillHistoryList();
    void showAppended(const QString &text);
    void runningChanged(bool running);
    void scrollTranscriptToEnd();
    void removePushedScript();

    AdbClient &m_adb;
    OperationLog &m_log;
    ShellConsole *m_console;
    QPlainTextEdit *m_transcript;
    QComboBox *m_commandBox;
    QPushButton *m_sendButton;
    QPushButton *m_stopButton;
    QPushButton *m_runScriptButton;
    bool m_followEnd = true;
    QString m_pushedScript; // on the phone while its run lasts
};
