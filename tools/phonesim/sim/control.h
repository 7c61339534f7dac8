#pragma once

// Answers the phone-side tools that change the phone itself (pm, cmd, reboot, flash_image) and records
// what they were asked in the journal. One session per phone process, since an install streams its APK
// over several messages.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

class Phone;

class ControlSession {
public:
    explicit ControlSession(Phone &phone);
    ~ControlSession();
    ControlSession(const ControlSession &) = delete;
    ControlSession &operator=(const ControlSession &) = delete;

    // The answer to send back to the tool, if the message asks for one.
    std::optional<std::string> handle(std::string_view message);

private:
    std::optional<std::string> request(const std::vector<std::string> &fields);
    std::string run(const std::vector<std::string> &fields, const std::string &streamedApk);
    void dropStream();

    Phone &m_phone;
    std::vector<std::string> m_waiting;
    std::string m_streamPath;
    int m_streamFd = -1;
};

} // namespace phonesim
