#pragma once

// The folder of the PC that is the phone's file system: building its fixed part (system folders, the shell
// and its commands, accounts, device files) and mapping phone paths onto it without ever leaving it.

#include "profile.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace phonesim {

// Where the phone's programs find the UTF-8 locale (LOCPATH).
constexpr const char *localeFolder = "/system/usr/locale";

class Sandbox {
public:
    Sandbox(std::string root, const Profile &profile);

    const std::string &root() const { return m_root; }

    // Lays out everything a phone of the profile has from the factory; keeps what is already there.
    bool prepare(const std::string &toolboxBinary, std::string &error);

    // The PC path of a phone path. Links are followed as the phone would follow them: absolute targets
    // start again at the sandbox root and ".." never climbs above it. Relative paths start at cwd.
    std::optional<std::string> resolve(const std::string &phonePath, const std::string &cwd = "/",
                                       bool followLast = true) const;

    // Helpers for the fixed layout and for the seed.
    bool makeDir(const std::string &phonePath, mode_t mode, uid_t uid, gid_t gid) const;
    bool writeFile(const std::string &phonePath, const std::string &content, mode_t mode, uid_t uid, gid_t gid) const;
    bool makeLink(const std::string &phonePath, const std::string &target) const;
    bool exists(const std::string &phonePath) const;
    std::string hostPath(const std::string &phonePath) const { return m_root + phonePath; }

private:
    bool installBinaries(const std::string &toolboxBinary, std::string &error);
    void writeAccounts();
    void writeProperties();
    void writeMounts();
    void makeDevices();
    void installLocale();

    std::string m_root;
    const Profile &m_profile;
};

// Ids of the accounts that phones of that time had.
namespace aid {
constexpr uid_t root = 0;
constexpr uid_t system = 1000;
constexpr uid_t graphics = 1003;
constexpr uid_t sdcardRw = 1015;
constexpr uid_t mediaRw = 1023;
constexpr uid_t shell = 2000;
constexpr uid_t cache = 2001;
constexpr uid_t everybody = 9997;
constexpr uid_t appStart = 10000;
} // namespace aid

} // namespace phonesim
