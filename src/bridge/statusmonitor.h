#pragma once

#include "bridge/adbutils.h"
#include "bridge/devicechoice.h"

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include <functional>

// Asks adb once a second whether the phone is there; when it is not, tells the host why (no phone, one it
// cannot use, several to choose from) on the host's thread through a blocking call, and goes on polling
// once the call returns.
class StatusMonitor final : public QThread {
    Q_OBJECT
public:
    // Starts polling at once. `phoneMissing` runs on `host`'s thread.
    static constexpr int kProbeTimeoutMs = 10000;

    StatusMonitor(QObject *host, std::function<void(DeviceSituation)> phoneMissing,
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
    std::function<void(DeviceSituation)> m_phoneMissing;
    int m_intervalMs;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    bool m_paused = false;
    bool m_holding = false;
    bool m_stopping = false;
};
