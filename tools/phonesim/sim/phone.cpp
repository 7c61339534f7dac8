#include "phone.h"

namespace phonesim {

bool parseLinkState(const std::string &name, LinkState &state)
{
    for (LinkState s : {LinkState::Device, LinkState::Offline, LinkState::Unauthorized}) {
        if (name == linkStateName(s)) {
            state = s;
            return true;
        }
    }
    return false;
}

const char *linkStateName(LinkState state)
{
    switch (state) {
    case LinkState::Device:
        return "device";
    case LinkState::Offline:
        return "offline";
    case LinkState::Unauthorized:
        return "unauthorized";
    }
    return "device";
}

Phone::Phone(const Profile &profile, Sandbox &sandbox, Journal &journal)
    : m_profile(profile), m_sandbox(sandbox), m_journal(journal), m_packages(profile, sandbox)
{
}

std::string Phone::banner() const
{
    std::string type = m_bootMode == "off" ? "device" : m_bootMode;
    std::string text = type + "::ro.product.name=" + m_profile.productName + ";ro.product.model=" + m_profile.model +
                       ";ro.product.device=" + m_profile.device + ";";
    if (!m_profile.features.empty())
        text += "features=" + m_profile.features;
    return text;
}

std::string Phone::remount()
{
    m_journal.write("remount");
    if (m_profile.root || m_bootMode == "recovery") {
        m_systemWritable = true;
        return "remount succeeded\n";
    }
    if (m_profile.isModern())
        return "Not running as root. Try \"adb root\" first.\n";
    return "remount failed: Operation not permitted\n";
}

void Phone::requestReboot(const std::string &target, int delayMs)
{
    m_journal.write(target == "poweroff" ? "poweroff" : target.empty() ? "reboot" : "reboot: " + target);
    m_pendingTarget = target;
    m_rebootAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
}

bool Phone::rebootDue() const
{
    return m_pendingTarget && std::chrono::steady_clock::now() >= m_rebootAt;
}

void Phone::completeReboot()
{
    if (!m_pendingTarget)
        return;
    const std::string &t = *m_pendingTarget;
    m_bootMode = t == "poweroff" ? "off" : t.empty() ? "device" : t;
    // A reboot mounts /system read-only again.
    m_systemWritable = false;
    m_pendingTarget.reset();
}

void Phone::setHeld(const void *owner, std::function<void()> release)
{
    m_heldOwner = owner;
    m_release = std::move(release);
}

void Phone::withdrawHeld(const void *owner)
{
    if (m_heldOwner != owner)
        return;
    m_heldOwner = nullptr;
    m_release = nullptr;
}

bool Phone::releaseHeld()
{
    if (!m_release)
        return false;
    auto release = std::exchange(m_release, nullptr);
    m_heldOwner = nullptr;
    release();
    return true;
}

} // namespace phonesim
