#pragma once

#include "base/operationlog.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The operation-log window: one line per step of a long operation, a bar that keeps moving while
// it runs, and "Close" once it has finished. The main window is disabled meanwhile.
class TLogForm final : public QDialog, public OperationLog {
    Q_OBJECT
public:
    explicit TLogForm(QWidget *mainWindow);

    void BeginOperation(std::function<void()> cancel = {}) override;
    void LogLine(const QString &text) override;
    void EndOperation() override;
    QWidget *questionParent() override { return this; }

    QString text() const;
    bool isRunning() const { return m_running; }
    static QString lastLogPath();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void btnOKClick();

    QWidget *m_mainWindow;
    QPlainTextEdit *Log;
    QProgressBar *Postep;
    QCheckBox *AutoClose;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    std::function<void()> m_cancel;
    QTimer *Timer;
    bool m_running = false;
};
