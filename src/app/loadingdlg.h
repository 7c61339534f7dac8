#pragma once

#include <QDialog>

#include <functional>

class QProgressBar;
class QTimer;

// Shown while start-up runs; its bar keeps moving so the user sees the program is alive.
class LoadingDialog final : public QDialog {
    Q_OBJECT
public:
    explicit LoadingDialog(QWidget *parent = nullptr);

    // "Cancel" stops the command that start-up is waiting for; start-up then goes on.
    void setCancelAction(std::function<void()> cancel);

private:
    QProgressBar *m_progressBar;
    QTimer *m_timer;
    std::function<void()> m_cancel;
};
