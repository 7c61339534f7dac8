#pragma once

#include "device/console.h"

#include <QWidget>

class OperationLog;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class TADB;

// The "Console" page: the transcript `Konsola`, the command box `Komenda` whose drop-down is the
// history, "Send", "Stop" and "Run SH Script".
class ConsolePane final : public QWidget {
    Q_OBJECT
public:
    static constexpr auto kHistoryFile = "console_history.txt";

    // `adb` pushes scripts and removes them after their run; `log` shows the push.
    ConsolePane(TADB &adb, OperationLog &log, QWidget *parent = nullptr,
                std::unique_ptr<ProgramRun> runner = std::make_unique<ProgramRun>());

    ShellConsole &console() { return *m_console; }
    QPlainTextEdit *transcript() const { return Konsola; }
    QComboBox *commandBox() const { return Komenda; }

    void SendCommand();
    void RunShScript();
    void StopCommand();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The history lives in the data folder, known only once start-up has run.
    void loadHistory();
    void fillHistoryList();
    void showAppended(const QString &text);
    void runningChanged(bool running);
    void ScrollTranscriptToEnd();
    void removePushedScript();

    TADB &m_adb;
    OperationLog &m_log;
    ShellConsole *m_console;
    QPlainTextEdit *Konsola;
    QComboBox *Komenda;
    QPushButton *btnSend;
    QPushButton *btnStop;
    QPushButton *btnRunSh;
    bool m_followEnd = true;
    QString m_pushedScript; // on the phone while its run lasts
};
