#pragma once

#include "bridge/adbutils.h"

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include <functional>

// Asks adb once a second whether a phone is attached; when none is, runs the device dialog on the
// host's thread through a blocking call and goes on polling once it returns.
class StatusMonitor final : public QThread {
    Q_OBJECT
public:
    // Starts polling at once. `showDeviceDialog` runs on `host`'s thread.
    static constexpr int kProbeTimeoutMs = 10000;

    StatusMonitor(QObject *host, std::function<void()> showDeviceDialog,
                  std::shared_ptr<CommandRunner> runner = defaultCommandRunner(), int intervalMs = 1000);
    ~StatusMonitor() override;

    void pause();
    void resume();
    bool isPaused() const;
    // True while a pause holds the next poll back: no poll runs until resume().
    bool isHolding() const;

    // No poll and no dialog starts after this; the thread ends after the poll in progress.
    void requestStop();
    // requestStop, then waits for the thread while serving a dialog call it may be blocked in.
    void stop();

protected:
    void run() override { execute(); }

private:
    void execute();
    bool sleepFor(int ms);

    AdbClient m_adb;
    QPointer<QObject> m_host;
    std::function<void()> m_showDeviceDialog;
    int m_intervalMs;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    bool m_paused = false;
    bool m_holding = false;
    bool m_stopping = false;
};
