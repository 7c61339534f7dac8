#pragma once

// The phone's package manager as far as adb and the program use it: "pm install", "pm uninstall [-k]",
// "pm list packages", "pm path" and their "cmd package" forms. It keeps APKs where the profile's Android
// version kept them and reads package names with "aapt dump badging", like the phone parsed the manifest.

#include "profile.h"

#include <map>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace phonesim {

class Sandbox;

struct CommandResult {
    int exitCode = 0;
    std::string output;
};

struct Badging {
    bool ok = false;
    std::string package;
    std::string versionCode;
    std::string versionName;
    std::string label;
    std::string split; // "config.en" for a split APK
};

Badging readBadging(const std::string &apkHostPath);

class PackageManager {
public:
    enum class Location { Internal, ForwardLocked, SdCard, ExtPartition, ExtPartitionLocked };

    PackageManager(const Profile &profile, const Sandbox &sandbox);

    // args: what follows "pm" (or "cmd package"); streamedApk: the PC file that holds an APK streamed with -S.
    CommandResult run(const std::vector<std::string> &args, const std::string &cwd, const std::string &streamedApk,
                      bool viaCmd);

    // Installs an APK file of the PC as the package; the phone path of the placed APK, or empty on failure.
    std::string place(const std::string &apkHostPath, const std::string &package, Location location);

    // "dumpsys package packages" (or "dumpsys package <name>"): the package manager's records as Android 12
    // prints them, with versions, splits and install times.
    CommandResult dump(const std::vector<std::string> &args) const;
    // Reads every installed package's manifest now: a booted phone's package manager has them in memory, so the
    // first listing must not pay for them.
    void readRecords() const { dump({"package", "packages"}); }

    // Phone paths of the package's APKs: base first, then its splits (modern), or the one APK (old phones).
    std::vector<std::string> installedApks(const std::string &package) const;

    // A package that came with the phone: /system/<app|priv-app>/<name>/<name>.apk, with a fixed uid below 10000.
    bool placeSystem(const std::string &apkHostPath, const std::string &package, bool privileged,
                     const std::string &name, uid_t uid);
    // A modern package from a base APK and its splits (PC files); the phone path of base.apk, or empty.
    std::string placeParts(const std::string &baseHostPath,
                           const std::vector<std::pair<std::string, std::string>> &splits, const std::string &package);

private:
    struct Package {
        std::string name;
        uid_t uid = 0;
        std::vector<std::string> apks;
        bool system = false;
        bool installed = true; // for user 0
    };

    std::vector<Package> modernPackages() const;
    std::map<std::string, std::string> userAppDirs() const;
    std::map<std::string, std::string> systemApks() const;
    std::vector<std::string> apksIn(const std::string &dir) const;
    const Badging &cachedBadging(const std::string &phonePath) const;
    std::set<std::string> removedForUser() const;
    void setRemovedForUser(const std::string &package, bool removed);
    CommandResult listModern(const std::vector<std::string> &args) const;
    CommandResult listOld(const std::vector<std::string> &args) const;
    CommandResult uninstallModern(const std::vector<std::string> &args);
    CommandResult session(const std::string &verb, const std::vector<std::string> &args, const std::string &streamed);
    void registerUid(const std::string &package, uid_t uid);

    CommandResult install(const std::vector<std::string> &args, const std::string &cwd, const std::string &streamedApk);
    CommandResult uninstall(const std::vector<std::string> &args);
    static std::string usageText();
    std::vector<std::string> appFolders() const;
    uid_t appUid(const std::string &package, bool create);
    void forgetPackage(const std::string &package);
    std::string nextSuffix(const std::vector<std::string> &previous) const;

    const Profile &m_profile;
    const Sandbox &m_sandbox;
    mutable std::map<std::string, std::pair<std::string, Badging>> m_badging; // phone path -> (stamp, badging)

    struct Session {
        std::string dir; // on the PC
        std::vector<std::string> parts;
    };
    std::map<int, Session> m_sessions;
    int m_nextSession = 1170412390;
};

} // namespace phonesim
