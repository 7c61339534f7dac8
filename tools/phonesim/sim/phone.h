#pragma once

// The state of the one simulated phone that outlives a connection: its profile and sandbox, whether /system
// was remounted, which mode it booted into and a reboot that is due.

#include "journal.h"
#include "packages.h"
#include "profile.h"
#include "sandbox.h"

#include <chrono>
#include <optional>
#include <string>

namespace phonesim {

class Phone
{
public:
    Phone(const Profile &profile, Sandbox &sandbox, Journal &journal);

    const Profile &profile() const { return m_profile; }
    const Sandbox &sandbox() const { return m_sandbox; }
    const std::string &root() const { return m_sandbox.root(); }
    Journal &journal() const { return m_journal; }
    PackageManager &packages() { return m_packages; }

    // What CNXN announces: "device::ro.product.name=...;...;features=...".
    std::string banner() const;
    // "device", "recovery", "bootloader", or "off" once powered off.
    const std::string &bootMode() const { return m_bootMode; }

    bool systemWritable() const { return m_systemWritable; }
    // The text adbd answers to "remount:".
    std::string remount();

    // target: "" (plain), "recovery", "bootloader" or "poweroff". The link drops after delayMs.
    void requestReboot(const std::string &target, int delayMs);
    bool rebootDue() const;
    void completeReboot();

private:
    const Profile &m_profile;
    Sandbox &m_sandbox;
    Journal &m_journal;
    PackageManager m_packages;
    bool m_systemWritable = false;
    std::string m_bootMode = "device";
    std::optional<std::string> m_pendingTarget;
    std::chrono::steady_clock::time_point m_rebootAt;
};

} // namespace phonesim
