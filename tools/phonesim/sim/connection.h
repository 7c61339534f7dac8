#pragma once

// One TCP connection from an adb server: the handshake, the streams it opens and the services behind them.

#include "packet.h"
#include "pollset.h"
#include "stream.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace phonesim {

class Phone;

class Connection {
public:
    Connection(int fd, Phone &phone, bool verbose);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Phone &phone() { return m_phone; }
    size_t maxPayload() const { return m_maxPayload; }
    bool alive() const { return m_fd >= 0; }

    void addPollFds(PollSet &set);
    void tick();
    // Ends every service and closes the socket, as when the cable is pulled or the phone reboots.
    void drop();
    void send(uint32_t cmd, uint32_t arg0, uint32_t arg1, std::string_view data);
    // The phone's link state changed to device: a handshake left waiting completes now.
    void completeHandshake();

private:
    void onReadable();
    void handle(const Packet &packet);
    void answerHandshake();
    void sendToken();
    void openStream(const Packet &packet);
    std::unique_ptr<Stream> createService(const std::string &service, uint32_t localId, uint32_t remoteId);
    Stream *findStream(uint32_t localId);

    int m_fd;
    Phone &m_phone;
    bool m_verbose;
    std::string m_in;
    bool m_online = false;
    bool m_handshakeWaiting = false; // the host's CNXN is still unanswered (offline or unauthorized)
    size_t m_maxPayload = 4096;
    uint32_t m_nextId = 1;
    std::map<uint32_t, std::unique_ptr<Stream>> m_streams;
};

} // namespace phonesim
