#pragma once

#include "base/operationlog.h"
#include "base/progressmeter.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The operation-log window: one line per step of a long operation, a bar that keeps moving while
// it runs (and fills once the batch says how far it has come), and "Close" once it has finished.
// It stands over the window the operation was started from, which waits for it (and the main window with it).
class OperationLogDialog final : public QDialog, public OperationLog {
    Q_OBJECT
public:
    explicit OperationLogDialog(QWidget *mainWindow);

    void beginOperation(std::function<void()> cancel = {}) override;
    void logLine(const QString &text) override;
    void reportProgress(const TransferProgress &progress) override;
    void endOperation(const QString &summary = {}) override;
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
    void showProgress();
    // Moves the log over the window the user is working in, and back to the main window once it closes.
    void attachTo(QWidget *owner);
    void enableOwners(bool enabled);

    QWidget *m_mainWindow;
    QPlainTextEdit *m_logView;
    QProgressBar *m_progressBar;
    QLabel *m_progressText;
    QCheckBox *m_autoCloseBox;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
    std::function<void()> m_cancel;
    QTimer *m_pulseTimer;
    // Gathers the reports that come faster than the window is worth repainting.
    QTimer *m_progressTimer;
    QElapsedTimer m_clock;
    qint64 m_shownAt = 0;
    ProgressMeter m_meter;
    bool m_barFilling = false;
    bool m_running = false;
};
