#pragma once

// The phone's package manager as far as adb and the program use it: "pm install", "pm uninstall [-k]",
// "pm list packages", "pm path" and their "cmd package" forms. It keeps APKs where the profile's Android
// version kept them and reads package names with "aapt dump badging", like the phone parsed the manifest.

#include "profile.h"

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

    std::vector<std::string> installedApks(const std::string &package) const;

private:
    CommandResult install(const std::vector<std::string> &args, const std::string &cwd, const std::string &streamedApk);
    CommandResult uninstall(const std::vector<std::string> &args);
    CommandResult listPackages() const;
    std::vector<std::string> appFolders() const;
    uid_t appUid(const std::string &package, bool create);
    void forgetPackage(const std::string &package);
    std::string nextSuffix(const std::vector<std::string> &previous) const;

    const Profile &m_profile;
    const Sandbox &m_sandbox;
};

} // namespace phonesim
