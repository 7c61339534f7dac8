#pragma once

// Listens on 127.0.0.1 and runs every connection and phone process from one poll() loop.

#include "connection.h"

#include <memory>
#include <string>
#include <vector>

namespace phonesim {

class Phone;

class Server {
public:
    Server(Phone &phone, bool verbose);
    ~Server();

    bool listen(int port, std::string &error);
    // Reads control lines from fd (the simulator's stdin): "link device|offline|unauthorized".
    void setControlInput(int fd) { m_controlFd = fd; }
    int port() const { return m_port; }
    // Runs until stopRequested becomes true (set from a signal handler).
    void run(const volatile bool &stopRequested);

private:
    void accept();
    void readControl();
    void runControlLines();
    void runControl(const std::string &line);

    Phone &m_phone;
    bool m_verbose;
    int m_listenFd = -1;
    int m_port = 0;
    int m_controlFd = -1;
    std::string m_controlIn;
    std::vector<std::unique_ptr<Connection>> m_connections;
};

} // namespace phonesim
