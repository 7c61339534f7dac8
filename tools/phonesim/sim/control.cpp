#include "control.h"

#include "../common/installargs.h"
#include "../common/wire.h"
#include "phone.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace phonesim {

namespace {

std::string answer(int code, const std::string &output)
{
    std::string msg = "X";
    putU32(msg, uint32_t(code));
    return msg + output;
}

bool wantsStream(const std::vector<std::string> &fields)
{
    // fields: cwd, name, args...
    if (fields.size() < 3)
        return false;
    return streamedBytes(fields[1], std::vector<std::string>(fields.begin() + 2, fields.end())) >= 0;
}

// The checks the phone's tool and its MTD driver made, with the messages they printed: an image that did
// not arrive whole must fail here, as it did on the phones.
std::string flashImage(const Phone &phone, const std::string &partition, const std::string &file,
                       const std::string &cwd)
{
    static const char *const partitions[] = {"boot", "recovery", "system", "cache", "userdata", "misc"};
    if (std::find(std::begin(partitions), std::end(partitions), partition) == std::end(partitions))
        return answer(1, "can't find " + partition + " partition\n");
    auto image = phone.sandbox().resolve(file, cwd);
    struct stat st;
    if (!image || stat(image->c_str(), &st) < 0 || !S_ISREG(st.st_mode))
        return answer(1, "error opening " + file + "\n");
    if (st.st_size == 0)
        return answer(1, "error reading " + file + " header\n");
    std::ifstream in(*image, std::ios::binary);
    char magic[8] = {};
    in.read(magic, sizeof magic);
    const bool bootImage = partition == "boot" || partition == "recovery";
    if (bootImage && (in.gcount() != sizeof magic || std::memcmp(magic, "ANDROID!", sizeof magic) != 0))
        return answer(1, "error writing " + partition + ": not a boot image (no ANDROID! magic)\n");
    // The flash takes whole 2048-byte pages; a cut-off image ends inside one.
    if (st.st_size % 2048 != 0)
        return answer(1, "error writing " + partition + ": Invalid argument\n");
    return answer(0, "");
}

} // namespace

ControlSession::ControlSession(Phone &phone) : m_phone(phone) {}

ControlSession::~ControlSession()
{
    dropStream();
}

void ControlSession::dropStream()
{
    if (m_streamFd >= 0)
        close(m_streamFd);
    if (!m_streamPath.empty())
        unlink(m_streamPath.c_str());
    m_streamFd = -1;
    m_streamPath.clear();
    m_waiting.clear();
}

std::optional<std::string> ControlSession::handle(std::string_view message)
{
    if (message.empty())
        return std::nullopt;
    char kind = message[0];
    message.remove_prefix(1);
    switch (kind) {
    case 'J':
        m_phone.journal().write(std::string(message));
        return std::nullopt;
    case 'R':
        return request(splitFields(message));
    case 'D':
        if (m_streamFd >= 0 && write(m_streamFd, message.data(), message.size()) != ssize_t(message.size()))
            m_phone.journal().write("cmd: short write of a streamed APK");
        return std::nullopt;
    case 'E': {
        if (m_waiting.empty())
            return std::nullopt;
        close(m_streamFd);
        m_streamFd = -1;
        std::string reply = run(m_waiting, m_streamPath);
        dropStream();
        return reply;
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::string> ControlSession::request(const std::vector<std::string> &fields)
{
    if (fields.size() < 2)
        return answer(1, "");
    std::string line = fields[1] + ":";
    for (size_t i = 2; i < fields.size(); ++i)
        line += " " + fields[i];
    // A reboot is recorded by the phone once it is really going down.
    if (fields[1] != "reboot")
        m_phone.journal().write(line);
    if (wantsStream(fields)) {
        dropStream();
        char path[] = "/tmp/phonesim-apk-XXXXXX";
        m_streamFd = mkstemp(path);
        m_streamPath = path;
        m_waiting = fields;
        return std::nullopt;
    }
    return run(fields, "");
}

std::string ControlSession::run(const std::vector<std::string> &fields, const std::string &streamedApk)
{
    const std::string &cwd = fields[0];
    const std::string &name = fields[1];
    std::vector<std::string> args(fields.begin() + 2, fields.end());
    const Profile &profile = m_phone.profile();

    if (name == "reboot") {
        // Android 2.2 let only root reboot from the shell; adbd's own reboot service still works there.
        if (!profile.root && profile.kind == ProfileKind::Legacy)
            return answer(1, "reboot: Operation not permitted\n");
        std::string target;
        for (const auto &a : args) {
            if (a == "-p")
                target = "poweroff";
            else if (target.empty() && !a.empty() && a[0] != '-')
                target = a;
        }
        m_phone.requestReboot(target, 300);
        return answer(0, "");
    }
    if (name == "flash_image") {
        if (args.size() != 2)
            return answer(2, "usage: flash_image partition file.img\n");
        return flashImage(m_phone, args[0], args[1], cwd);
    }
    if (name == "pm") {
        auto r = m_phone.packages().run(args, cwd, streamedApk, false);
        return answer(r.exitCode, r.output);
    }
    if (name == "cmd") {
        if (args.empty() || args[0] != "package")
            return answer(20, "cmd: Can't find service: " + (args.empty() ? std::string() : args[0]) + "\n");
        auto r = m_phone.packages().run(std::vector<std::string>(args.begin() + 1, args.end()), cwd, streamedApk, true);
        return answer(r.exitCode, r.output);
    }
    if (name == "dumpsys") {
        auto r = m_phone.packages().dump(args);
        return answer(r.exitCode, r.output);
    }
    return answer(127, name + ": not found\n");
}

} // namespace phonesim
