#include "bridge/statusmonitor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

StatusMonitor::StatusMonitor(QObject *host, std::function<void(DeviceSituation)> phoneMissing,
                             std::shared_ptr<CommandRunner> runner, int intervalMs)
    : m_adb(std::move(runner)), m_host(host), m_phoneMissing(std::move(phoneMissing)), m_intervalMs(intervalMs)
{
    // A hung adb must neither freeze the monitor nor keep the program from ending.
    m_adb.setTimeout(kProbeTimeoutMs);
    m_adb.setCancelToken(std::make_shared<CancelToken>());
    start();
}

StatusMonitor::~StatusMonitor()
{
    stop();
}

void StatusMonitor::pause()
{
    QMutexLocker lock(&m_mutex);
    m_paused = true;
}

void StatusMonitor::resume()
{
    QMutexLocker lock(&m_mutex);
    m_paused = false;
    m_wake.wakeAll();
}

bool StatusMonitor::isPaused() const
{
    QMutexLocker lock(&m_mutex);
    return m_paused;
}

bool StatusMonitor::isHolding() const
{
    QMutexLocker lock(&m_mutex);
    return m_holding;
}

void StatusMonitor::requestStop()
{
    QMutexLocker lock(&m_mutex);
    m_stopping = true;
    m_wake.wakeAll();
    m_adb.cancelToken()->cancel();
}

void StatusMonitor::stop()
{
    requestStop();
    if (QThread::currentThread() == this)
        return;
    // The monitor may be blocked in a call onto this thread: serve it (it returns at once now).
    while (!wait(QDeadlineTimer(20)))
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

bool StatusMonitor::sleepFor(int ms)
{
    QMutexLocker lock(&m_mutex);
    const QDeadlineTimer deadline(ms);
    while (!m_stopping && !deadline.hasExpired())
        m_wake.wait(&m_mutex, deadline);
    // A pause that began meanwhile holds the next poll until the program is active again.
    while (m_paused && !m_stopping) {
        m_holding = true;
        m_wake.wait(&m_mutex);
    }
    m_holding = false;
    return !m_stopping;
}

void StatusMonitor::execute()
{
    if (!sleepFor(0))
        return;
    for (;;) {
        const DeviceSituation situation = judgeDevices(m_adb.listDevices(), chosenDeviceSerial()).situation;
        {
            QMutexLocker lock(&m_mutex);
            if (m_stopping)
                return;
        }
        if (situation != DeviceSituation::Ready && m_host) {
            QMetaObject::invokeMethod(
                m_host.data(),
                [this, situation] {
                    {
                        QMutexLocker lock(&m_mutex);
                        if (m_stopping)
                            return;
                    }
                    m_phoneMissing(situation);
                },
                Qt::BlockingQueuedConnection);
        }
        if (!sleepFor(m_intervalMs))
            return;
    }
}
