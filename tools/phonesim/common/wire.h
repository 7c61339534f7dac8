#pragma once

// Little-endian helpers and the control-channel message kinds shared by the simulator and the phone-side
// toolbox. Both sides run on the same machine, but adb's own framing is little-endian, so stay explicit.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// What the display shows on phones with screencap: the simulator draws it there, screencap serves it. It
// holds screencap's raw output (16-byte header, RGBA_8888 rows).
constexpr const char *screenFile = "/system/lib/phonesim-screen.raw";

inline void putU32(std::string &out, uint32_t v)
{
    char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char((v >> 24) & 0xff)};
    out.append(b, 4);
}

inline void putU64(std::string &out, uint64_t v)
{
    putU32(out, uint32_t(v & 0xffffffffu));
    putU32(out, uint32_t(v >> 32));
}

inline uint32_t getU32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

inline uint32_t fourcc(const char (&id)[5])
{
    return getU32(id);
}

// Control channel between a phone-side tool and the simulator: one SOCK_SEQPACKET message each.
//   'R' cwd \0 name \0 arg \0 ...   a tool asks the simulator to do something (pm, cmd, reboot, flash_image)
//   'D' bytes / 'E'                  streamed payload that follows some requests (cmd package install -S N)
//   'J' text                         a line for the journal, no answer
//   'X' u32 exit code, output        the simulator's answer to 'R'
//   'H'                              a sync stream stops at the byte count a test asked for; answered when
//                                    the test lets it go on
constexpr const char *controlFdEnv = "PHONESIM_CTL";
constexpr const char *profileEnv = "PHONESIM_PROFILE";
constexpr const char *ttyEnv = "PHONESIM_TTY";
// Byte count the next file a sync stream receives is cut to (a push that arrives short).
constexpr const char *truncatePushEnv = "PHONESIM_TRUNCATE_PUSH";
constexpr const char *truncatePullEnv = "PHONESIM_TRUNCATE_PULL";
// Byte count of file data after which the next sync stream stops until the test lets it go on.
constexpr const char *holdTransferEnv = "PHONESIM_HOLD_TRANSFER";

inline std::string joinFields(const std::vector<std::string> &fields)
{
    std::string out;
    for (const auto &f : fields) {
        out += f;
        out.push_back('\0');
    }
    return out;
}

inline std::vector<std::string> splitFields(std::string_view data)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\0', start);
        if (end == std::string_view::npos)
            end = data.size();
        out.emplace_back(data.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace phonesim
