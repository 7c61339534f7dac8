#pragma once

// One round of poll(): the descriptors to watch and what to do when each one is ready.

#include <functional>
#include <poll.h>
#include <vector>

namespace phonesim {

struct PollSet {
    std::vector<pollfd> fds;
    std::vector<std::function<void(short)>> handlers;

    void add(int fd, short events, std::function<void(short)> handler)
    {
        fds.push_back({fd, events, 0});
        handlers.push_back(std::move(handler));
    }
};

} // namespace phonesim
