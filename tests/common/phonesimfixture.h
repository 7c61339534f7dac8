#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

// Starts the phone in a test function; skips the test where this machine cannot run the simulator at all.
#define PHONESIM_START(sim)                                                                                            \
    do {                                                                                                               \
        if (!(sim).start()) {                                                                                          \
            if ((sim).isUnsupported())                                                                                 \
                QSKIP(qPrintable((sim).errorString()));                                                                \
            QFAIL(qPrintable((sim).errorString()));                                                                    \
        }                                                                                                              \
    } while (0)

// One simulated phone and a private adb server for one test.
//
// start() launches velbrook-phonesim on a free port with its own sandbox, starts an adb server on another
// free port, points ANDROID_ADB_SERVER_PORT of this process at it (so every adb the code under test starts
// talks to that server), connects and waits until "adb get-state" says device. The destructor kills the
// adb server and the simulator and restores the environment.
class PhoneSim {
public:
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        QString text() const { return QString::fromUtf8(out); }
        QString trimmed() const { return QString::fromUtf8(out).trimmed(); }
        QString errText() const { return QString::fromUtf8(err).trimmed(); }
        // Both streams: adb prints some errors on stdout, some on stderr.
        QString all() const { return QString::fromUtf8(out + err).trimmed(); }
    };

    explicit PhoneSim(const QString &profile = QStringLiteral("rooted"), bool seed = false);
    ~PhoneSim();
    PhoneSim(const PhoneSim &) = delete;
    PhoneSim &operator=(const PhoneSim &) = delete;

    // Before start(): N more small user applications (velbrook-phonesim --apps N).
    void setExtraApps(int count) { m_extraApps = count; }
    bool start();
    // Starts this phone beside a running one: it registers with the first phone's adb server, which it neither
    // owns nor stops, so that "adb devices" lists both. Own sandbox, port and serial.
    bool startBeside(const PhoneSim &first);
    // Why start() failed; isUnsupported() when this machine cannot run the simulator at all.
    QString errorString() const { return m_error; }
    bool isUnsupported() const { return m_unsupported; }

    QString profile() const { return m_profile; }
    QString root() const { return m_dir.path() + QStringLiteral("/phone"); } // the sandbox folder on the PC
    // root() + phonePath, links not followed
    QString hostPath(const QString &phonePath) const { return root() + phonePath; }
    QString serial() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    int port() const { return m_port; }
    int adbPort() const { return m_adbPort; }
    QString workDir() const { return m_dir.path(); } // scratch space of the test, beside the sandbox

    QStringList journal() const;
    void clearJournal();

    // Runs the real adb against the private server (program + argument list, no shell).
    Result adb(const QStringList &arguments, int timeoutMs = 30000, const QByteArray &input = {}) const;
    bool waitForState(const QString &state, int timeoutMs = 10000) const;
    // This phone's state in "adb devices" ("device", "offline", "unauthorized"), empty when it is not listed.
    QString listedState() const;
    // Switches the running phone's link at the transport level and returns once "adb devices" lists that
    // state for it (false after ~10 s): "offline" drops the link and leaves the host's reconnection without an
    // answer, "unauthorized" answers it with AUTH tokens only, "device" completes the waiting handshake.
    bool setLinkState(const QString &state);
    // The next file pushed to this phone arrives cut to `bytes` though adb reports success; false when the
    // simulator did not confirm.
    bool truncateNextPush(qint64 bytes) { return arm("truncate-next-push", bytes); }
    bool truncateNextPull(qint64 bytes) { return arm("truncate-next-pull", bytes); }
    // The next sync stream (a push or a pull) stops once it has moved `bytes` of file data, until release();
    // `onHeld` runs from the event loop when it has stopped there. False when the simulator did not confirm.
    bool holdNextTransfer(qint64 bytes, std::function<void()> onHeld);
    // Lets the held stream go on; false when none was held.
    bool release();

    // Pulls the plug: the simulator is killed, the adb server keeps running.
    void stop();
    bool isRunning() const { return m_sim.state() == QProcess::Running; }
    // Plugs the same phone in again (same sandbox and port) and connects.
    bool restart();
    // Makes this phone's adb server the one ANDROID_ADB_SERVER_PORT names.
    void activate() const { qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(m_adbPort)); }

    // Builds a real APK with aapt against the framework resources.
    static QString buildApk(const QString &folder, const QString &package, const QString &label, int versionCode = 1,
                            const QString &versionName = QStringLiteral("1.0"));

private:
    bool launchSimulator();
    // Writes a control line and waits for the simulator's line that starts with `answer`; what followed it.
    std::optional<QByteArray> control(const QByteArray &line, const QByteArray &answer);
    // Sends "<command> <bytes>" and sees the simulator confirm "<command>=<bytes>".
    bool arm(const QByteArray &command, qint64 bytes);
    bool connectPhone();
    static int freePort();

    QString m_profile;
    bool m_seed;
    int m_extraApps = 0;
    QTemporaryDir m_dir;
    QProcess m_sim;
    int m_port = 0;
    int m_adbPort = 0;
    bool m_ownsServer = true;
    QString m_error;
    bool m_unsupported = false;
    QByteArray m_previousPort;
    QMetaObject::Connection m_heldWatch;
    bool m_hadPreviousPort = false;
};
