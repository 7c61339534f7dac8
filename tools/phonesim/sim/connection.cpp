#include "connection.h"

#include "../common/wire.h"
#include "phone.h"

#include <cerrno>
#include <cstdio>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

namespace phonesim {

namespace {

constexpr size_t ourMaxPayload = 256 * 1024;
constexpr size_t hostMaxPayload = 1024 * 1024;

std::vector<std::string> shellEnvironment(const Profile &profile)
{
    std::vector<std::string> env = {
        "PATH=/sbin:/vendor/bin:/system/sbin:/system/bin:/system/xbin",
        "ANDROID_ROOT=/system",
        "ANDROID_DATA=/data",
        "ANDROID_ASSETS=/system/app",
        std::string("EXTERNAL_STORAGE=") + (profile.isModern() ? "/sdcard" : "/mnt/sdcard"),
        "HOME=/",
        "PHONESIM_PROFILE=" + profile.name,
        std::string("LOCPATH=") + localeFolder,
    };
    if (profile.isModern())
        env.push_back("TMPDIR=/data/local/tmp");
    if (profile.crlf)
        env.push_back("PHONESIM_TTY=1");
    return env;
}

} // namespace

Connection::Connection(int fd, Phone &phone, bool verbose) : m_fd(fd), m_phone(phone), m_verbose(verbose) {}

Connection::~Connection()
{
    drop();
}

void Connection::drop()
{
    for (auto &[id, stream] : m_streams)
        stream->abandon();
    m_streams.clear();
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

void Connection::send(uint32_t cmd, uint32_t arg0, uint32_t arg1, std::string_view data)
{
    if (m_fd < 0)
        return;
    std::string packet = encodePacket(cmd, arg0, arg1, data);
    const char *p = packet.data();
    size_t left = packet.size();
    while (left > 0) {
        ssize_t n = ::send(m_fd, p, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The host went away; streams are ended by the caller's next tick.
            close(m_fd);
            m_fd = -1;
            return;
        }
        p += n;
        left -= size_t(n);
    }
}

void Connection::addPollFds(PollSet &set)
{
    if (m_fd < 0)
        return;
    set.add(m_fd, POLLIN, [this](short) { onReadable(); });
    for (auto &[id, stream] : m_streams)
        stream->addPollFds(set);
}

void Connection::tick()
{
    if (m_fd < 0) {
        drop();
        return;
    }
    for (auto &[id, stream] : m_streams)
        stream->tick();
    std::erase_if(m_streams, [](const auto &entry) { return entry.second->closed(); });
}

void Connection::onReadable()
{
    if (m_fd < 0)
        return;
    char buf[65536];
    ssize_t n = recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        close(m_fd);
        m_fd = -1;
        return;
    }
    m_in.append(buf, size_t(n));
    for (;;) {
        Packet packet;
        ParseResult r = takePacket(m_in, packet, hostMaxPayload);
        if (r == ParseResult::Incomplete)
            break;
        if (r == ParseResult::Invalid) {
            std::fprintf(stderr, "phonesim: not an adb packet, dropping the connection\n");
            close(m_fd);
            m_fd = -1;
            return;
        }
        handle(packet);
        if (m_fd < 0)
            return;
    }
}

Stream *Connection::findStream(uint32_t localId)
{
    auto it = m_streams.find(localId);
    return it == m_streams.end() || it->second->closed() ? nullptr : it->second.get();
}

void Connection::handle(const Packet &p)
{
    if (m_verbose && p.command != command::wrte && p.command != command::okay)
        std::fprintf(stderr, "phonesim: <- %s %u %u %zu\n", commandName(p.command).c_str(), p.arg0, p.arg1,
                     p.data.size());
    switch (p.command) {
    case command::cnxn:
        // A new handshake on the same link starts over.
        for (auto &[id, stream] : m_streams)
            stream->abandon();
        m_maxPayload = std::min<size_t>(ourMaxPayload, p.arg1 ? p.arg1 : 4096);
        m_online = false;
        m_handshakeWaiting = true;
        answerHandshake();
        break;
    case command::auth:
        // Whatever the host signs or offers, a phone whose user has not confirmed the key stays silent or
        // asks again; the host then lists it as unauthorized.
        if (m_handshakeWaiting && m_phone.linkState() == LinkState::Unauthorized && p.arg0 == auth::signature)
            sendToken();
        break;
    case command::open:
        if (m_online)
            openStream(p);
        break;
    case command::wrte:
        if (Stream *s = findStream(p.arg1))
            s->onData(p.data);
        break;
    case command::okay:
        if (Stream *s = findStream(p.arg1))
            s->onOkay();
        break;
    case command::clse:
        // adb 29 also answers our own CLSE with one; a stream already closed ignores it.
        if (Stream *s = findStream(p.arg1))
            s->onHostClose();
        break;
    default:
        break;
    }
}

void Connection::answerHandshake()
{
    switch (m_phone.linkState()) {
    case LinkState::Device:
        completeHandshake();
        break;
    case LinkState::Offline:
        break; // adbd never answers
    case LinkState::Unauthorized:
        sendToken();
        break;
    }
}

void Connection::completeHandshake()
{
    if (!m_handshakeWaiting)
        return;
    m_handshakeWaiting = false;
    m_online = true;
    send(command::cnxn, protocolVersion, uint32_t(ourMaxPayload), m_phone.banner());
}

void Connection::sendToken()
{
    char token[20];
    if (getrandom(token, sizeof token, 0) != ssize_t(sizeof token))
        return;
    send(command::auth, auth::token, 0, std::string_view(token, sizeof token));
}

void Connection::openStream(const Packet &p)
{
    std::string service = p.data;
    while (!service.empty() && service.back() == '\0')
        service.pop_back();
    uint32_t localId = m_nextId++;
    if (m_nextId == 0)
        m_nextId = 1;
    if (m_verbose)
        std::fprintf(stderr, "phonesim: open %u '%s'\n", localId, service.c_str());
    auto stream = createService(service, localId, p.arg0);
    std::string error;
    if (!stream || !stream->start(error)) {
        if (!error.empty())
            std::fprintf(stderr, "phonesim: %s: %s\n", service.c_str(), error.c_str());
        send(command::clse, 0, p.arg0, {});
        return;
    }
    Stream *s = stream.get();
    m_streams.emplace(localId, std::move(stream));
    send(command::okay, localId, p.arg0, {});
    s->activate();
}

std::unique_ptr<Stream> Connection::createService(const std::string &service, uint32_t localId, uint32_t remoteId)
{
    const Profile &profile = m_phone.profile();
    // In the bootloader there is no adbd, only the banner kept for get-state; a reboot request stands in for
    // the fastboot command that would bring the phone back.
    if (m_phone.bootMode() == "bootloader" && service.rfind("reboot:", 0) != 0)
        return nullptr;

    if (service.rfind("shell", 0) == 0) {
        auto colon = service.find(':');
        if (colon == std::string::npos)
            return nullptr;
        std::string args = service.substr(5, colon - 5);
        std::string commandText = service.substr(colon + 1);
        bool v2 = args.find("v2") != std::string::npos && profile.hasFeature("shell_v2");
        m_phone.journal().write("shell: " + commandText);
        SpawnRequest request;
        request.env = shellEnvironment(profile);
        auto mode = v2             ? ChildStream::Mode::ShellV2
                    : profile.crlf ? ChildStream::Mode::Terminal
                                   : ChildStream::Mode::Raw;
        // A terminal has one output for both streams, in the order they were written.
        request.separateStderr = mode != ChildStream::Mode::Terminal;
        if (commandText.empty())
            request.argv = {"/system/bin/sh", "-i"};
        else
            request.argv = {"/system/bin/sh", "-c", commandText};
        return std::make_unique<ChildStream>(*this, localId, remoteId, std::move(request), mode, true);
    }
    // exec: came with Android 5; older adbd closes the stream at once.
    if (service.rfind("exec:", 0) == 0 && profile.sdk >= 21) {
        std::string commandText = service.substr(5);
        m_phone.journal().write("exec: " + commandText);
        SpawnRequest request;
        request.env = shellEnvironment(profile);
        request.argv = {"/system/bin/sh", "-c", commandText};
        return std::make_unique<ChildStream>(*this, localId, remoteId, std::move(request), ChildStream::Mode::Raw,
                                             false);
    }
    if (service == "sync:") {
        SpawnRequest request;
        request.env = shellEnvironment(profile);
        request.argv = {"/system/bin/toolbox", "adbd-sync"};
        if (auto bytes = m_phone.takeTruncateNextPush())
            request.env.push_back(std::string(truncatePushEnv) + "=" + std::to_string(*bytes));
        if (auto bytes = m_phone.takeTruncateNextPull())
            request.env.push_back(std::string(truncatePullEnv) + "=" + std::to_string(*bytes));
        if (auto bytes = m_phone.takeHoldNextTransfer())
            request.env.push_back(std::string(holdTransferEnv) + "=" + std::to_string(*bytes));
        request.stderrToSimulator = true;
        return std::make_unique<ChildStream>(*this, localId, remoteId, std::move(request), ChildStream::Mode::Raw,
                                             false);
    }
    if (service == "remount:")
        return std::make_unique<TextStream>(*this, localId, remoteId, m_phone.remount());
    if (service.rfind("reboot:", 0) == 0) {
        std::string target = service.substr(7);
        Phone &phone = m_phone;
        return std::make_unique<TextStream>(*this, localId, remoteId, std::string(),
                                            [&phone, target] { phone.requestReboot(target, 50); });
    }
    if (service == "root:" || service == "unroot:") {
        std::string text =
            profile.root ? "adbd is already running as root\n" : "adbd cannot run as root in production builds\n";
        return std::make_unique<TextStream>(*this, localId, remoteId, text);
    }
    return nullptr;
}

} // namespace phonesim
