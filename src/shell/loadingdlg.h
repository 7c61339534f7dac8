#pragma once

#include <QDialog>

class QProgressBar;
class QTimer;

// Shown while start-up runs; its bar keeps moving so the user sees the program is alive.
class TLoadingForm final : public QDialog {
    Q_OBJECT
public:
    explicit TLoadingForm(QWidget *parent = nullptr);

private:
    QProgressBar *Progress;
    QTimer *m_timer;
};
