#include "packages.h"

#include "../common/installargs.h"
#include "hostprocess.h"
#include "sandbox.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace phonesim {

namespace fs = std::filesystem;

namespace {

std::string quotedValue(const std::string &line, const std::string &key)
{
    auto pos = line.find(key + "='");
    if (pos == std::string::npos)
        return {};
    pos += key.size() + 2;
    return line.substr(pos, line.find('\'', pos) - pos);
}

const char *packagesList = "/data/system/packages.list";

// Android 11 and later name an application's folder after the package and a random URL-safe Base64 id.
std::string randomId(const std::string &seedText)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::seed_seq seq(seedText.begin(), seedText.end());
    std::mt19937 rng(seq);
    std::string id;
    for (int i = 0; i < 22; ++i)
        id.push_back(alphabet[rng() % 64]);
    return id + "==";
}

} // namespace

Badging readBadging(const std::string &apkHostPath)
{
    Badging b;
    std::string out;
    if (runHostProgram({"aapt", "dump", "badging", apkHostPath}, out) != 0)
        return b;
    std::stringstream ss(out);
    std::string line;
    while (std::getline(ss, line)) {
        if (line.rfind("package:", 0) == 0) {
            b.package = quotedValue(line, "name");
            b.versionCode = quotedValue(line, "versionCode");
            b.versionName = quotedValue(line, "versionName");
        } else if (line.rfind("application-label:", 0) == 0 && b.label.empty()) {
            b.label = line.substr(19, line.size() - 20);
        }
    }
    b.ok = !b.package.empty();
    return b;
}

PackageManager::PackageManager(const Profile &profile, const Sandbox &sandbox) : m_profile(profile), m_sandbox(sandbox)
{
}

std::vector<std::string> PackageManager::appFolders() const
{
    switch (m_profile.kind) {
    case ProfileKind::Legacy:
        return {"/data/app", "/data/app-private", "/mnt/asec"};
    case ProfileKind::Rooted:
        return {"/data/app", "/data/app-private", "/sd-ext/app", "/sd-ext/app-private", "/mnt/asec"};
    case ProfileKind::Modern:
        return {"/data/app"};
    }
    return {};
}

std::vector<std::string> PackageManager::installedApks(const std::string &package) const
{
    std::vector<std::string> found;
    for (const auto &folder : appFolders()) {
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(m_sandbox.hostPath(folder), ec)) {
            std::string name = entry.path().filename().string();
            std::string stem = name.size() > 4 && name.ends_with(".apk") ? name.substr(0, name.size() - 4) : name;
            // Package names have no "-", and what follows it (a number or an id) has no ".".
            if (stem.rfind(package + "-", 0) == 0 && stem.find('.', package.size()) == std::string::npos)
                found.push_back(folder + "/" + name);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

uid_t PackageManager::appUid(const std::string &package, bool create)
{
    std::ifstream in(m_sandbox.hostPath(packagesList));
    std::string line;
    uid_t highest = aid::appStart + 30;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string name;
        uid_t uid = 0;
        ss >> name >> uid;
        if (name == package)
            return uid;
        highest = std::max(highest, uid);
    }
    if (!create)
        return 0;
    uid_t uid = highest + 1;
    std::ofstream out(m_sandbox.hostPath(packagesList), std::ios::app);
    out << package << ' ' << uid << " 0 /data/data/" << package << '\n';
    return uid;
}

void PackageManager::forgetPackage(const std::string &package)
{
    std::ifstream in(m_sandbox.hostPath(packagesList));
    std::string line, kept;
    while (std::getline(in, line)) {
        if (line.rfind(package + " ", 0) != 0)
            kept += line + "\n";
    }
    in.close();
    m_sandbox.writeFile(packagesList, kept, 0660, aid::system, aid::system);
}

std::string PackageManager::nextSuffix(const std::vector<std::string> &previous) const
{
    // Old package managers alternated between -1 and -2 when replacing an application.
    for (const auto &p : previous) {
        if (p.find("-1.apk") != std::string::npos || p.ends_with("-1"))
            return "2";
    }
    return "1";
}

std::string PackageManager::place(const std::string &apkHostPath, const std::string &package, Location location)
{
    auto previous = installedApks(package);
    for (const auto &p : previous) {
        std::error_code ec;
        fs::remove_all(m_sandbox.hostPath(p), ec);
    }
    uid_t uid = appUid(package, true);
    std::string apk;
    if (m_profile.isModern()) {
        std::string dir = "/data/app/" + package + "-" + randomId(package + std::to_string(previous.size()));
        m_sandbox.makeDir(dir, 0775, aid::system, aid::system);
        apk = dir + "/base.apk";
    } else {
        std::string suffix = nextSuffix(previous);
        switch (location) {
        case Location::Internal:
            apk = "/data/app/" + package + "-" + suffix + ".apk";
            break;
        case Location::ForwardLocked:
            apk = "/data/app-private/" + package + "-" + suffix + ".apk";
            break;
        case Location::ExtPartition:
            apk = "/sd-ext/app/" + package + "-" + suffix + ".apk";
            break;
        case Location::ExtPartitionLocked:
            apk = "/sd-ext/app-private/" + package + "-" + suffix + ".apk";
            break;
        case Location::SdCard: {
            std::string dir = "/mnt/asec/" + package + "-" + suffix;
            m_sandbox.makeDir(dir, 0755, aid::system, aid::root);
            apk = dir + "/pkg.apk";
            break;
        }
        }
    }
    std::error_code ec;
    fs::copy_file(apkHostPath, m_sandbox.hostPath(apk), fs::copy_options::overwrite_existing, ec);
    if (ec)
        return {};
    bool locked = location == Location::ForwardLocked || location == Location::ExtPartitionLocked;
    chown(m_sandbox.hostPath(apk).c_str(), aid::system, locked ? uid : aid::system);
    chmod(m_sandbox.hostPath(apk).c_str(), locked ? 0640 : 0644);

    // The compiled code cache the Dalvik VM kept next to the applications.
    if (!m_profile.isModern() && location != Location::SdCard) {
        std::string cacheRoot = apk.rfind("/sd-ext/", 0) == 0 ? "/sd-ext/dalvik-cache/" : "/data/dalvik-cache/";
        std::string name = apk.substr(1);
        std::replace(name.begin(), name.end(), '/', '@');
        std::string dex = "dey\n036";
        dex.resize(4096, '\0');
        m_sandbox.writeFile(cacheRoot + name + "@classes.dex", dex, 0644, aid::system, uid);
    }
    std::string data = "/data/data/" + package;
    if (!m_sandbox.exists(data)) {
        m_sandbox.makeDir(data, 0751, uid, uid);
        m_sandbox.makeDir(data + "/cache", 0771, uid, uid);
        m_sandbox.makeDir(data + "/databases", 0771, uid, uid);
        m_sandbox.makeDir(data + "/shared_prefs", 0771, uid, uid);
    }
    return apk;
}

CommandResult PackageManager::install(const std::vector<std::string> &args, const std::string &cwd,
                                      const std::string &streamedApk)
{
    const bool modern = m_profile.isModern();
    InstallArgs parsed = parseInstallArgs(args);
    CommandResult result;
    std::string hostApk = streamedApk;
    if (hostApk.empty()) {
        if (parsed.path.empty()) {
            result.exitCode = 1;
            result.output = modern ? "Error: APK content must be streamed\n" : "Error: no package specified\n";
            return result;
        }
        if (!modern)
            result.output = "\tpkg: " + parsed.path + "\n";
        auto resolved = m_sandbox.resolve(parsed.path, cwd);
        struct stat st;
        if (!resolved || stat(resolved->c_str(), &st) < 0 || !S_ISREG(st.st_mode)) {
            result.output += modern ? "Failure [INSTALL_FAILED_INVALID_APK: Missing existing base package]\n"
                                    : "Failure [INSTALL_FAILED_INVALID_URI]\n";
            result.exitCode = modern ? 1 : 0;
            return result;
        }
        hostApk = *resolved;
    }
    Badging badging = readBadging(hostApk);
    if (!badging.ok) {
        result.output += modern ? "Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse base.apk]\n"
                                : "Failure [INSTALL_FAILED_INVALID_APK]\n";
        result.exitCode = modern ? 1 : 0;
        return result;
    }
    bool replace = hasOption(parsed, "-r") || modern;
    if (!installedApks(badging.package).empty() && !replace) {
        result.output += "Failure [INSTALL_FAILED_ALREADY_EXISTS]\n";
        return result;
    }
    bool locked = hasOption(parsed, "-l");
    Location location = locked ? Location::ForwardLocked : Location::Internal;
    if (m_profile.kind == ProfileKind::Rooted && !hasOption(parsed, "-f"))
        location = locked ? Location::ExtPartitionLocked : Location::ExtPartition;
    if (hasOption(parsed, "-s") && !modern)
        location = Location::SdCard;
    if (place(hostApk, badging.package, location).empty()) {
        result.output += "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n";
        result.exitCode = modern ? 1 : 0;
        return result;
    }
    result.output += "Success\n";
    return result;
}

CommandResult PackageManager::uninstall(const std::vector<std::string> &args)
{
    bool keepData = false;
    std::string package;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-k")
            keepData = true;
        else if (args[i] == "--user" || args[i] == "--versionCode")
            ++i;
        else if (!args[i].empty() && args[i][0] != '-')
            package = args[i];
    }
    CommandResult result;
    auto apks = package.empty() ? std::vector<std::string>{} : installedApks(package);
    if (apks.empty()) {
        result.output = m_profile.isModern() ? "Failure [DELETE_FAILED_INTERNAL_ERROR]\n" : "Failure\n";
        result.exitCode = m_profile.isModern() ? 1 : 0;
        return result;
    }
    std::error_code ec;
    for (const auto &apk : apks) {
        fs::remove_all(m_sandbox.hostPath(apk), ec);
        std::string name = apk.substr(1);
        std::replace(name.begin(), name.end(), '/', '@');
        for (const char *cache : {"/data/dalvik-cache/", "/sd-ext/dalvik-cache/"})
            fs::remove(m_sandbox.hostPath(cache + name + "@classes.dex"), ec);
    }
    if (!keepData) {
        fs::remove_all(m_sandbox.hostPath("/data/data/" + package), ec);
        forgetPackage(package);
    }
    result.output = "Success\n";
    return result;
}

CommandResult PackageManager::listPackages() const
{
    CommandResult result;
    std::ifstream in(m_sandbox.hostPath(packagesList));
    std::string line;
    while (std::getline(in, line)) {
        std::string name = line.substr(0, line.find(' '));
        if (!name.empty() && !installedApks(name).empty())
            result.output += "package:" + name + "\n";
    }
    return result;
}

CommandResult PackageManager::run(const std::vector<std::string> &args, const std::string &cwd,
                                  const std::string &streamedApk, bool viaCmd)
{
    std::string verb = args.empty() ? "" : args[0];
    std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (verb == "install")
        return install(rest, cwd, streamedApk);
    if (verb == "uninstall")
        return uninstall(rest);
    if (verb == "list" && !rest.empty() && rest[0] == "packages")
        return listPackages();
    if (verb == "path" && !rest.empty()) {
        CommandResult r;
        for (const auto &apk : installedApks(rest[0]))
            r.output += "package:" + apk + "\n";
        r.exitCode = r.output.empty() ? 1 : 0;
        return r;
    }
    CommandResult usage;
    usage.exitCode = 1;
    usage.output = viaCmd ? "Unknown command: " + verb + "\n"
                          : "usage: pm [list|path|install|uninstall]\n"
                            "       pm list packages\n"
                            "       pm path PACKAGE\n"
                            "       pm install [-l] [-r] [-t] [-i INSTALLER_PACKAGE_NAME] [-s] [-f] PATH\n"
                            "       pm uninstall [-k] PACKAGE\n";
    return usage;
}

} // namespace phonesim
