#pragma once

// One adb stream: a service the host opened. The base class does adb's flow control (one WRTE in flight per
// direction, CLSE once everything sent was acknowledged); subclasses produce and consume the bytes.

#include "pollset.h"
#include "spawn.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace phonesim {

class Connection;
class ControlSession;

class Stream {
public:
    Stream(Connection &connection, uint32_t localId, uint32_t remoteId);
    virtual ~Stream() = default;
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    uint32_t localId() const { return m_localId; }
    uint32_t remoteId() const { return m_remoteId; }
    bool closed() const { return m_closed; }

    // Called before the host is told the stream is open; false refuses the OPEN.
    virtual bool start(std::string &error) = 0;
    // The host's OKAY for the OPEN went out: output may flow now.
    void activate();
    // A WRTE from the host; the subclass calls ackInput() once it has taken the data.
    virtual void onData(std::string data) = 0;
    void onOkay();
    void onHostClose();
    virtual void addPollFds(PollSet &) {}
    virtual void tick() {}
    // Releases whatever runs behind the stream. Called once, whoever closes it.
    virtual void stop() {}
    // The connection is going away: no more packets, just let go.
    void abandon();

protected:
    void queueOutput(std::string_view data);
    void queuePacket(std::string data);
    bool backlogged() const { return m_out.size() > 1; }
    void ackInput();
    void finish();
    size_t maxPayload() const;

    Connection &m_connection;

private:
    void pump();
    void closeNow(bool sendClose);

    uint32_t m_localId;
    uint32_t m_remoteId;
    std::deque<std::string> m_out;
    bool m_active = false;
    bool m_awaitingOkay = false;
    bool m_finishing = false;
    bool m_closed = false;
    bool m_stopped = false;
};

// A stream answered with a fixed text; afterClose runs once the host has it (reboot drops the link then).
class TextStream : public Stream {
public:
    TextStream(Connection &connection, uint32_t localId, uint32_t remoteId, std::string text,
               std::function<void()> afterClose = {});
    bool start(std::string &error) override;
    void onData(std::string data) override;
    void stop() override;

private:
    std::string m_text;
    std::function<void()> m_afterClose;
};

// A stream served by a process on the phone: shell commands, exec and the sync service.
class ChildStream : public Stream {
public:
    enum class Mode {
        Raw,      // bytes as they are, stderr with stdout (exec:, sync:, shell: of current phones)
        Terminal, // as through an old phone's terminal: stderr with stdout, LF becomes CR LF
        ShellV2,  // shell protocol: framed stdout, stderr and exit code
    };

    ChildStream(Connection &connection, uint32_t localId, uint32_t remoteId, SpawnRequest request, Mode mode,
                bool shellErrors);
    ~ChildStream() override;
    bool start(std::string &error) override;
    void onData(std::string data) override;
    void addPollFds(PollSet &set) override;
    void tick() override;
    void stop() override;

private:
    void readOutput(int channel);
    void emit(int channel, std::string data);
    std::string shellErrorLine(const std::string &line) const;
    void writeInput();
    void readControl();
    static void sendReply(int fd, const std::string &reply);
    void checkExit();

    SpawnRequest m_request;
    Mode m_mode;
    bool m_shellErrors;
    ChildProcess m_child;
    std::unique_ptr<ControlSession> m_control;
    std::deque<std::string> m_stdin;
    bool m_inputUnacked = false;
    bool m_closeStdin = false;
    std::string m_v2In;
    std::string m_errLine;
    bool m_exited = false;
};

} // namespace phonesim
