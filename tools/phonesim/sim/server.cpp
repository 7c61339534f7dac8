#include "server.h"

#include "phone.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace phonesim {

Server::Server(Phone &phone, bool verbose) : m_phone(phone), m_verbose(verbose) {}

Server::~Server()
{
    m_connections.clear();
    if (m_listenFd >= 0)
        close(m_listenFd);
}

bool Server::listen(int port, std::string &error)
{
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0 || ::listen(m_listenFd, 8) < 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    return true;
}

void Server::accept()
{
    int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (m_phone.bootMode() == "off") {
        // A phone that was switched off does not answer.
        close(fd);
        return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (m_verbose)
        std::fprintf(stderr, "phonesim: host connected\n");
    m_connections.push_back(std::make_unique<Connection>(fd, m_phone, m_verbose));
}

void Server::readControl()
{
    char buf[256];
    ssize_t n = read(m_controlFd, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        // Nobody will send more; the phone keeps running.
        m_controlFd = -1;
        return;
    }
    m_controlIn.append(buf, size_t(n));
}

void Server::runControlLines()
{
    size_t nl;
    while ((nl = m_controlIn.find('\n')) != std::string::npos) {
        std::string line = m_controlIn.substr(0, nl);
        m_controlIn.erase(0, nl + 1);
        runControl(line);
    }
}

namespace {

// The byte count of a control line "<name> N"; none when the line is another one.
std::optional<long long> byteCount(const std::string &line, const std::string &name)
{
    if (line.rfind(name + " ", 0) != 0)
        return std::nullopt;
    const char *start = line.c_str() + name.size() + 1;
    char *end = nullptr;
    const long long bytes = std::strtoll(start, &end, 10);
    if (end == start || *end != '\0' || bytes < 0)
        return std::nullopt;
    return bytes;
}

} // namespace

void Server::runControl(const std::string &line)
{
    using Setter = void (Phone::*)(long long);
    for (const auto &[name, set] : {std::pair<const char *, Setter>{"truncate-next-push", &Phone::setTruncateNextPush},
                                    std::pair<const char *, Setter>{"truncate-next-pull", &Phone::setTruncateNextPull},
                                    std::pair<const char *, Setter>{"hold-transfer", &Phone::setHoldNextTransfer}}) {
        if (const auto bytes = byteCount(line, name)) {
            (m_phone.*set)(*bytes);
            std::printf("%s=%lld\n", name, *bytes);
            std::fflush(stdout);
            return;
        }
    }
    if (line == "release") {
        std::printf(m_phone.releaseHeld() ? "released\n" : "released=none\n");
        std::fflush(stdout);
        return;
    }
    LinkState state;
    if (line.rfind("link ", 0) != 0 || !parseLinkState(line.substr(5), state)) {
        if (!line.empty())
            std::fprintf(stderr, "phonesim: unknown control line '%s'\n", line.c_str());
        return;
    }
    if (state != m_phone.linkState()) {
        m_phone.setLinkState(state);
        if (state == LinkState::Device) {
            // adbd got going, or the user accepted the key: the waiting handshakes complete on the same link.
            for (auto &c : m_connections)
                c->completeHandshake();
        } else {
            // adbd restarts: the link drops, and the host's reconnection meets the new state.
            m_connections.clear();
        }
    }
    std::printf("link=%s\n", linkStateName(state));
    std::fflush(stdout);
}

void Server::run(const volatile bool &stopRequested)
{
    while (!stopRequested) {
        PollSet set;
        set.add(m_listenFd, POLLIN, [this](short) { accept(); });
        if (m_controlFd >= 0)
            set.add(m_controlFd, POLLIN, [this](short) { readControl(); });
        for (auto &c : m_connections)
            c->addPollFds(set);
        int n = poll(set.fds.data(), set.fds.size(), 50);
        if (n < 0 && errno != EINTR) {
            std::perror("phonesim: poll");
            return;
        }
        for (size_t i = 0; n > 0 && i < set.fds.size(); ++i) {
            if (set.fds[i].revents)
                set.handlers[i](set.fds[i].revents);
        }
        // Control lines may drop every connection, so they wait until no handler of this round is left to run.
        runControlLines();
        for (auto &c : m_connections)
            c->tick();
        std::erase_if(m_connections, [](const auto &c) { return !c->alive(); });
        if (m_phone.rebootDue()) {
            // The link drops; the adb server reconnects by itself and sees the new mode in the banner.
            m_connections.clear();
            m_phone.completeReboot();
            if (m_verbose)
                std::fprintf(stderr, "phonesim: rebooted into %s\n", m_phone.bootMode().c_str());
        }
    }
    m_connections.clear();
}

} // namespace phonesim
