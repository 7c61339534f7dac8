#include "stream.h"

#include "../common/wire.h"
#include "connection.h"
#include "control.h"
#include "packet.h"
#include "phone.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <regex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace phonesim {

// ---- Stream ----

Stream::Stream(Connection &connection, uint32_t localId, uint32_t remoteId)
    : m_connection(connection), m_localId(localId), m_remoteId(remoteId)
{
}

void Stream::activate()
{
    m_active = true;
    pump();
}

size_t Stream::maxPayload() const
{
    return m_connection.maxPayload();
}

void Stream::queueOutput(std::string_view data)
{
    size_t max = maxPayload();
    while (!data.empty()) {
        size_t n = std::min(max, data.size());
        m_out.emplace_back(data.substr(0, n));
        data.remove_prefix(n);
    }
    pump();
}

void Stream::queuePacket(std::string data)
{
    m_out.push_back(std::move(data));
    pump();
}

void Stream::ackInput()
{
    if (!m_closed)
        m_connection.send(command::okay, m_localId, m_remoteId, {});
}

void Stream::finish()
{
    m_finishing = true;
    pump();
}

void Stream::onOkay()
{
    m_awaitingOkay = false;
    pump();
}

void Stream::pump()
{
    if (!m_active || m_closed)
        return;
    if (!m_awaitingOkay && !m_out.empty()) {
        m_connection.send(command::wrte, m_localId, m_remoteId, m_out.front());
        m_out.pop_front();
        m_awaitingOkay = true;
        return;
    }
    if (m_finishing && m_out.empty() && !m_awaitingOkay)
        closeNow(true);
}

void Stream::closeNow(bool sendClose)
{
    if (m_closed)
        return;
    m_closed = true;
    if (sendClose)
        m_connection.send(command::clse, m_localId, m_remoteId, {});
    if (!m_stopped) {
        m_stopped = true;
        stop();
    }
}

void Stream::onHostClose()
{
    // adb expects an answering CLSE; whatever was still queued is dropped.
    m_out.clear();
    closeNow(true);
}

void Stream::abandon()
{
    m_out.clear();
    closeNow(false);
}

// ---- TextStream ----

TextStream::TextStream(Connection &connection, uint32_t localId, uint32_t remoteId, std::string text,
                       std::function<void()> afterClose)
    : Stream(connection, localId, remoteId), m_text(std::move(text)), m_afterClose(std::move(afterClose))
{
}

bool TextStream::start(std::string &)
{
    queueOutput(m_text);
    finish();
    return true;
}

void TextStream::onData(std::string)
{
    ackInput();
}

void TextStream::stop()
{
    if (auto f = std::move(m_afterClose)) {
        m_afterClose = nullptr;
        f();
    }
}

// ---- ChildStream ----

ChildStream::ChildStream(Connection &connection, uint32_t localId, uint32_t remoteId, SpawnRequest request, Mode mode,
                         bool shellErrors)
    : Stream(connection, localId, remoteId), m_request(std::move(request)), m_mode(mode), m_shellErrors(shellErrors)
{
}

ChildStream::~ChildStream()
{
    m_connection.phone().withdrawHeld(this);
    killChild(m_child);
}

bool ChildStream::start(std::string &error)
{
    m_request.env.push_back(std::string(controlFdEnv) + "=" + std::to_string(childControlFd));
    if (!spawnInPhone(m_connection.phone(), m_request, m_child, error))
        return false;
    m_control = std::make_unique<ControlSession>(m_connection.phone());
    return true;
}

void ChildStream::stop()
{
    m_connection.phone().withdrawHeld(this);
    killChild(m_child);
    m_control.reset();
}

void ChildStream::addPollFds(PollSet &set)
{
    if (closed())
        return;
    if (!backlogged()) {
        if (m_child.stdoutFd >= 0)
            set.add(m_child.stdoutFd, POLLIN, [this](short) { readOutput(1); });
        if (m_child.stderrFd >= 0)
            set.add(m_child.stderrFd, POLLIN, [this](short) { readOutput(2); });
    }
    if (m_child.stdinFd >= 0 && !m_stdin.empty())
        set.add(m_child.stdinFd, POLLOUT, [this](short) { writeInput(); });
    if (m_child.controlFd >= 0)
        set.add(m_child.controlFd, POLLIN, [this](short) { readControl(); });
}

void ChildStream::tick()
{
    if (!closed() && !m_exited && m_child.stdoutFd < 0 && m_child.stderrFd < 0)
        checkExit();
}

void ChildStream::readOutput(int channel)
{
    if (closed())
        return;
    int &fd = channel == 1 ? m_child.stdoutFd : m_child.stderrFd;
    if (fd < 0)
        return;
    std::string buf(16384, '\0');
    ssize_t n = read(fd, buf.data(), buf.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    const bool reworded = m_shellErrors && (channel == 2 || m_mode == Mode::Terminal);
    if (n <= 0) {
        close(fd);
        fd = -1;
        if (reworded && !m_errLine.empty()) {
            emit(channel, shellErrorLine(m_errLine));
            m_errLine.clear();
        }
        if (m_child.stdoutFd < 0 && m_child.stderrFd < 0)
            checkExit();
        return;
    }
    buf.resize(size_t(n));
    if (reworded) {
        // The shell's complaints are reworded line by line into what the profile's shell said. On a terminal
        // they share the stream with the output; a partial line is held back only while it may be one.
        m_errLine += buf;
        std::string complete;
        size_t nl;
        while ((nl = m_errLine.find('\n')) != std::string::npos) {
            complete += shellErrorLine(m_errLine.substr(0, nl)) + "\n";
            m_errLine.erase(0, nl + 1);
        }
        const std::string_view shellPrefix = "/system/bin/sh: ";
        const size_t n = std::min(shellPrefix.size(), m_errLine.size());
        if (std::string_view(m_errLine).substr(0, n) != shellPrefix.substr(0, n)) {
            complete += m_errLine;
            m_errLine.clear();
        }
        if (!complete.empty())
            emit(channel, complete);
        return;
    }
    emit(channel, std::move(buf));
}

std::string ChildStream::shellErrorLine(const std::string &line) const
{
    if (!m_shellErrors)
        return line;
    // dash says "/system/bin/sh: 1: busybox: not found"; the old Android ash said "busybox: not found", the
    // mksh of current phones "/system/bin/sh: busybox: inaccessible or not found".
    static const std::regex notFound("^/system/bin/sh: [0-9]+: (.*): not found$");
    static const std::regex numbered("^/system/bin/sh: [0-9]+: (.*)$");
    std::smatch m;
    bool modern = m_connection.phone().profile().isModern();
    if (std::regex_match(line, m, notFound))
        return modern ? "/system/bin/sh: " + m[1].str() + ": inaccessible or not found" : m[1].str() + ": not found";
    // A command text that starts with "-" is read as sh's options (adbd runs sh -c TEXT): dash says
    // "Illegal option -t" and "-c requires an argument", mksh (checked with Debian's, whose name and "E: "
    // prefix Android's lacks) "-t: unknown option" and "-c: requires an argument".
    static const std::regex illegalOption("^/system/bin/sh: [0-9]+: Illegal option (-.)$");
    static const std::regex needsArgument("^/system/bin/sh: [0-9]+: -c requires an argument$");
    if (modern && std::regex_match(line, m, illegalOption))
        return "/system/bin/sh: " + m[1].str() + ": unknown option";
    if (modern && std::regex_match(line, needsArgument))
        return "/system/bin/sh: -c: requires an argument";
    if (std::regex_match(line, m, numbered))
        return "/system/bin/sh: " + m[1].str();
    return line;
}

void ChildStream::emit(int channel, std::string data)
{
    if (data.empty())
        return;
    if (m_mode == Mode::Terminal) {
        std::string crlf;
        crlf.reserve(data.size() + data.size() / 16);
        for (char c : data) {
            if (c == '\n')
                crlf.push_back('\r');
            crlf.push_back(c);
        }
        data.swap(crlf);
    }
    if (m_mode != Mode::ShellV2) {
        queueOutput(data);
        return;
    }
    size_t max = maxPayload() - 5;
    for (size_t pos = 0; pos < data.size(); pos += max) {
        std::string piece = data.substr(pos, max);
        std::string frame(1, char(channel));
        putU32(frame, uint32_t(piece.size()));
        queuePacket(frame + piece);
    }
}

void ChildStream::checkExit()
{
    if (m_exited || m_child.pid <= 0)
        return;
    int status = 0;
    pid_t r = waitpid(m_child.pid, &status, WNOHANG);
    if (r == 0)
        return; // still running with its output closed; tick() looks again
    m_exited = true;
    m_child.pid = -1;
    int code = r < 0 ? 1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (m_mode == Mode::ShellV2) {
        std::string frame(1, char(3));
        putU32(frame, 1);
        frame.push_back(char(code));
        queuePacket(frame);
    }
    finish();
}

void ChildStream::onData(std::string data)
{
    if (m_mode == Mode::ShellV2) {
        m_v2In += data;
        while (m_v2In.size() >= 5) {
            uint32_t len = getU32(m_v2In.data() + 1);
            if (m_v2In.size() < 5 + len)
                break;
            int id = static_cast<unsigned char>(m_v2In[0]);
            if (id == 0)
                m_stdin.push_back(m_v2In.substr(5, len));
            else if (id == 4)
                m_closeStdin = true;
            m_v2In.erase(0, 5 + len);
        }
    } else if (!data.empty()) {
        m_stdin.push_back(std::move(data));
    }
    m_inputUnacked = true;
    writeInput();
}

void ChildStream::writeInput()
{
    while (!m_stdin.empty() && m_child.stdinFd >= 0) {
        std::string &front = m_stdin.front();
        ssize_t n = write(m_child.stdinFd, front.data(), front.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n < 0) {
            // The process stopped reading: what it did not take is lost, as on the phone.
            close(m_child.stdinFd);
            m_child.stdinFd = -1;
            break;
        }
        front.erase(0, size_t(n));
        if (front.empty())
            m_stdin.pop_front();
    }
    m_stdin.clear();
    if (m_closeStdin && m_child.stdinFd >= 0) {
        close(m_child.stdinFd);
        m_child.stdinFd = -1;
    }
    if (m_inputUnacked) {
        m_inputUnacked = false;
        ackInput();
    }
}

void ChildStream::readControl()
{
    if (m_child.controlFd < 0)
        return;
    ssize_t len = recv(m_child.controlFd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (len < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (len <= 0) {
        close(m_child.controlFd);
        m_child.controlFd = -1;
        return;
    }
    std::string msg(size_t(len), '\0');
    if (recv(m_child.controlFd, msg.data(), msg.size(), MSG_DONTWAIT) != len)
        return;
    if (msg == "H") {
        const int fd = m_child.controlFd;
        m_connection.phone().setHeld(this, [fd] { send(fd, "G", 1, MSG_NOSIGNAL); });
        std::printf("held\n");
        std::fflush(stdout);
        return;
    }
    if (auto reply = m_control->handle(msg))
        sendReply(m_child.controlFd, *reply);
}

// One message is limited by the socket's buffer (a dumpsys of hundreds of packages is larger): the text goes
// ahead in pieces, the exit code last. The child only reads until the last piece, so waiting here is short.
void ChildStream::sendReply(int fd, const std::string &reply)
{
    constexpr size_t piece = 32 * 1024;
    auto sendWhole = [fd](const std::string &message) {
        for (;;) {
            if (send(fd, message.data(), message.size(), MSG_NOSIGNAL) == ssize_t(message.size()))
                return true;
            if (errno != EAGAIN && errno != EINTR)
                return false;
            pollfd wait{fd, POLLOUT, 0};
            poll(&wait, 1, 1000);
        }
    };
    if (reply.size() <= piece + 5 || reply[0] != 'X') {
        sendWhole(reply);
        return;
    }
    for (size_t at = 5; at < reply.size(); at += piece) {
        if (!sendWhole("O" + reply.substr(at, piece)))
            return;
    }
    sendWhole(reply.substr(0, 5));
}

} // namespace phonesim
