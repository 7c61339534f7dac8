#pragma once

// The state of the one simulated phone that outlives a connection: its profile and sandbox, whether /system
// was remounted, which mode it booted into and a reboot that is due.

#include "journal.h"
#include "packages.h"
#include "profile.h"
#include "sandbox.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace phonesim {

// How the phone answers a host's handshake: at once, never (adbd hangs: "offline"), or with AUTH until the user
// accepts the host's key ("unauthorized").
enum class LinkState { Device, Offline, Unauthorized };

bool parseLinkState(const std::string &name, LinkState &state);
const char *linkStateName(LinkState state);

class Phone {
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

    LinkState linkState() const { return m_linkState; }
    void setLinkState(LinkState state) { m_linkState = state; }

    bool systemWritable() const { return m_systemWritable; }
    // The text adbd answers to "remount:".
    std::string remount();

    // The next sync stream's first received file is cut to this many bytes (a push that arrives short).
    void setTruncateNextPush(long long bytes) { m_truncateNextPush = bytes; }
    std::optional<long long> takeTruncateNextPush() { return std::exchange(m_truncateNextPush, std::nullopt); }
    void setTruncateNextPull(long long bytes) { m_truncateNextPull = bytes; }
    std::optional<long long> takeTruncateNextPull() { return std::exchange(m_truncateNextPull, std::nullopt); }

    // The next sync stream stops once it has moved this many bytes of file data, until released.
    void setHoldNextTransfer(long long bytes) { m_holdNextTransfer = bytes; }
    std::optional<long long> takeHoldNextTransfer() { return std::exchange(m_holdNextTransfer, std::nullopt); }
    // The stream that stopped there: `release` lets it go on. A stream that ends while held withdraws it.
    void setHeld(const void *owner, std::function<void()> release);
    void withdrawHeld(const void *owner);
    // False when no stream is held.
    bool releaseHeld();

    // target: "" (plain), "recovery", "bootloader" or "poweroff". The link drops after delayMs.
    void requestReboot(const std::string &target, int delayMs);
    bool rebootDue() const;
    void completeReboot();

private:
    const Profile &m_profile;
    Sandbox &m_sandbox;
    Journal &m_journal;
    PackageManager m_packages;
    LinkState m_linkState = LinkState::Device;
    bool m_systemWritable = false;
    std::string m_bootMode = "device";
    std::optional<std::string> m_pendingTarget;
    std::optional<long long> m_truncateNextPush;
    std::optional<long long> m_truncateNextPull;
    std::optional<long long> m_holdNextTransfer;
    const void *m_heldOwner = nullptr;
    std::function<void()> m_release;
    std::chrono::steady_clock::time_point m_rebootAt;
};

} // namespace phonesim
