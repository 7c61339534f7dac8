#include "phonesimfixture.h"
#include "testapk.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef PHONESIM_BINARY
#error "PHONESIM_BINARY must name the velbrook-phonesim executable"
#endif

namespace {

// Asks until `done` or for `timeoutMs`, a tenth of a second apart.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (done())
            return true;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace

PhoneSim::PhoneSim(const QString &profile, bool seed) : m_profile(profile), m_seed(seed)
{
    m_hadPreviousPort = qEnvironmentVariableIsSet("ANDROID_ADB_SERVER_PORT");
    m_previousPort = qgetenv("ANDROID_ADB_SERVER_PORT");
}

PhoneSim::~PhoneSim()
{
    if (m_adbPort && m_ownsServer) {
        activate();
        adb({QStringLiteral("kill-server")}, 10000);
    }
    stop();
    if (m_hadPreviousPort)
        qputenv("ANDROID_ADB_SERVER_PORT", m_previousPort);
    else
        qunsetenv("ANDROID_ADB_SERVER_PORT");
}

int PhoneSim::freePort()
{
    // Bound and released at once: another program could take it in between, which a test run tolerates.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

bool PhoneSim::launchSimulator()
{
    QStringList args = {QStringLiteral("--root"),    root(),
                        QStringLiteral("--port"),    QString::number(m_port),
                        QStringLiteral("--profile"), m_profile,
                        QStringLiteral("--journal"), m_dir.path() + QStringLiteral("/journal.txt")};
    if (m_seed)
        args << QStringLiteral("--seed");
    if (m_extraApps > 0)
        args << QStringLiteral("--apps") << QString::number(m_extraApps);
    m_sim.setProgram(QStringLiteral(PHONESIM_BINARY));
    m_sim.setArguments(args);
    m_sim.setProcessChannelMode(QProcess::SeparateChannels);
    m_sim.start();
    if (!m_sim.waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start ") + QStringLiteral(PHONESIM_BINARY);
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(30000);
    while (!out.contains("ready") && !deadline.hasExpired()) {
        if (m_sim.state() != QProcess::Running)
            break;
        m_sim.waitForReadyRead(100);
        out += m_sim.readAllStandardOutput();
    }
    if (!out.contains("ready")) {
        m_sim.waitForFinished(1000);
        m_error = QString::fromUtf8(m_sim.readAllStandardError()).trimmed();
        m_unsupported = m_error.contains(QStringLiteral("cannot confine"));
        if (m_error.isEmpty())
            m_error = QStringLiteral("the simulator did not get ready");
        return false;
    }
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("port="))
            m_port = line.mid(5).toInt();
    }
    return m_port > 0;
}

bool PhoneSim::connectPhone()
{
    Result r = adb({QStringLiteral("connect"), serial()}, 15000);
    if (!r.text().contains(QStringLiteral("connected to"))) {
        m_error = QStringLiteral("adb connect: ") + r.text() + r.errText();
        return false;
    }
    if (!waitForState(QStringLiteral("device"))) {
        m_error = QStringLiteral("the phone did not come online");
        return false;
    }
    return true;
}

bool PhoneSim::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!launchSimulator())
        return false;
    m_adbPort = freePort();
    activate();
    Result r = adb({QStringLiteral("start-server")}, 20000);
    if (r.exitCode != 0) {
        m_error = QStringLiteral("adb start-server: ") + r.errText();
        return false;
    }
    return connectPhone();
}

bool PhoneSim::startBeside(const PhoneSim &first)
{
    if (!m_dir.isValid() || !first.m_adbPort) {
        m_error = QStringLiteral("the first phone is not running");
        return false;
    }
    m_adbPort = first.m_adbPort;
    m_ownsServer = false;
    return launchSimulator() && connectPhone();
}

bool PhoneSim::restart()
{
    if (m_sim.state() == QProcess::Running)
        return true;
    if (!launchSimulator())
        return false;
    // The server may be between its tries to reach the old link, the next one 10 s away: a new link now.
    adb({QStringLiteral("disconnect"), serial()}, 5000);
    return connectPhone();
}

void PhoneSim::stop()
{
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished(5000);
    }
}

QStringList PhoneSim::journal() const
{
    QFile f(m_dir.path() + QStringLiteral("/journal.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void PhoneSim::clearJournal()
{
    QFile::resize(m_dir.path() + QStringLiteral("/journal.txt"), 0);
}

PhoneSim::Result PhoneSim::adb(const QStringList &arguments, int timeoutMs, const QByteArray &input) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ANDROID_ADB_SERVER_PORT"), QString::number(m_adbPort));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("adb"), arguments);
    Result r;
    if (!p.waitForStarted(5000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError() + "\n(timed out)";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool PhoneSim::waitForState(const QString &state, int timeoutMs) const
{
    return waitUntil(
        [&] {
            return adb({QStringLiteral("-s"), serial(), QStringLiteral("get-state")}, 5000).trimmed() == state;
        },
        timeoutMs);
}

QString PhoneSim::listedState() const
{
    const QString prefix = serial() + QLatin1Char('\t');
    for (const QString &line : adb({QStringLiteral("devices")}, 5000).text().split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

bool PhoneSim::setLinkState(const QString &state)
{
    // The simulator confirms the line before anything changes on the link.
    return control("link " + state.toUtf8(), "link=") == state.toUtf8() &&
           waitUntil([&] { return listedState() == state; }, 10000);
}

std::optional<QByteArray> PhoneSim::control(const QByteArray &line, const QByteArray &answer)
{
    if (m_sim.state() != QProcess::Running)
        return std::nullopt;
    m_sim.write(line + "\n");
    QDeadlineTimer deadline(10000);
    QByteArray out;
    while (!deadline.hasExpired() && m_sim.state() == QProcess::Running) {
        if (const qsizetype at = out.indexOf(answer); at >= 0 && out.indexOf('\n', at) >= 0)
            return out.mid(at + answer.size(), out.indexOf('\n', at) - at - answer.size());
        m_sim.waitForReadyRead(100);
        out += m_sim.readAllStandardOutput();
    }
    return std::nullopt;
}

bool PhoneSim::arm(const QByteArray &command, qint64 bytes)
{
    const QByteArray count = QByteArray::number(bytes);
    return control(command + ' ' + count, command + '=') == count;
}

bool PhoneSim::holdNextTransfer(qint64 bytes, std::function<void()> onHeld)
{
    QObject::disconnect(m_heldWatch);
    if (!arm("hold-transfer", bytes))
        return false;
    auto seen = std::make_shared<QByteArray>();
    m_heldWatch = QObject::connect(&m_sim, &QProcess::readyReadStandardOutput, &m_sim, [this, seen, onHeld] {
        *seen += m_sim.readAllStandardOutput();
        if (!seen->contains("held\n"))
            return;
        QObject::disconnect(m_heldWatch);
        onHeld();
    });
    return true;
}

bool PhoneSim::release()
{
    return control("release", "released") == QByteArray();
}

QString PhoneSim::buildApk(const QString &folder, const QString &package, const QString &label, int versionCode,
                           const QString &versionName)
{
    TestApk apk;
    apk.package = package;
    apk.label = label;
    apk.versionCode = versionCode;
    apk.versionName = versionName;
    apk.minSdk = 4;
    apk.iconColour = QColor(40, 120, 200);
    return apk.build(folder, folder + QLatin1Char('/') + package + QStringLiteral(".apk"));
}
