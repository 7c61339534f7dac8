#include "packages.h"

#include "../common/installargs.h"
#include "hostprocess.h"
#include "sandbox.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
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
// Which packages user 0 removed ("pm uninstall --user 0"), as Android keeps it.
const char *restrictions = "/data/system/users/0/package-restrictions.xml";

std::string stamp(const std::string &hostPath)
{
    struct stat st;
    if (stat(hostPath.c_str(), &st) < 0)
        return {};
    return std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + ":" +
           std::to_string(st.st_mtim.tv_nsec);
}

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

// A file's modification time, 0 when it is missing.
time_t modified(const std::string &hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) < 0 ? 0 : st.st_mtim.tv_sec;
}

// The package manager's time form: the phone's local time, to the second.
std::string dumpTime(time_t when)
{
    char text[32];
    struct tm local;
    localtime_r(&when, &local);
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string objectId(const std::string &name)
{
    char text[16];
    snprintf(text, sizeof text, "%07zx", std::hash<std::string>{}(name)&0xfffffff);
    return text;
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
            b.split = quotedValue(line, "split");
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
    if (m_profile.isModern()) {
        auto dirs = userAppDirs();
        auto it = dirs.find(package);
        return it == dirs.end() ? std::vector<std::string>{} : apksIn(it->second);
    }
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
    if (m_profile.isModern())
        return placeParts(apkHostPath, {}, package);
    auto previous = installedApks(package);
    for (const auto &p : previous) {
        std::error_code ec;
        fs::remove_all(m_sandbox.hostPath(p), ec);
    }
    uid_t uid = appUid(package, true);
    std::string apk;
    {
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
    const auto previous = installedApks(badging.package);
    if (!previous.empty() && !replace) {
        result.output += "Failure [INSTALL_FAILED_ALREADY_EXISTS]\n";
        return result;
    }
    // Android 12 keeps the newer version unless asked with -d (for a debuggable package; not checked here).
    if (modern && !previous.empty() && !hasOption(parsed, "-d")) {
        const std::string current = cachedBadging(previous.front()).versionCode;
        if (std::strtoll(badging.versionCode.c_str(), nullptr, 10) < std::strtoll(current.c_str(), nullptr, 10)) {
            result.output += "Failure [INSTALL_FAILED_VERSION_DOWNGRADE: Downgrade detected: Update version code " +
                             badging.versionCode + " is older than current " + current + "]\n";
            result.exitCode = 1;
            return result;
        }
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

// ---- The current phone: Android 11+ folders, system packages, splits, sessions and users.

std::map<std::string, std::string> PackageManager::userAppDirs() const
{
    std::map<std::string, std::string> dirs;
    std::error_code ec;
    for (const auto &outer : fs::directory_iterator(m_sandbox.hostPath("/data/app"), ec)) {
        std::string outerName = outer.path().filename().string();
        if (outerName.rfind("~~", 0) != 0)
            continue;
        std::error_code ec2;
        for (const auto &inner : fs::directory_iterator(outer.path(), ec2)) {
            std::string name = inner.path().filename().string();
            // "<package>-<id>": the id is 24 characters and may hold "-" itself.
            if (name.size() > 25 && name[name.size() - 25] == '-')
                dirs[name.substr(0, name.size() - 25)] = "/data/app/" + outerName + "/" + name;
        }
    }
    return dirs;
}

std::vector<std::string> PackageManager::apksIn(const std::string &dir) const
{
    std::vector<std::string> splits;
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(m_sandbox.hostPath(dir), ec)) {
        std::string name = entry.path().filename().string();
        if (name == "base.apk")
            found.push_back(dir + "/base.apk");
        else if (name.rfind("split_", 0) == 0 && name.ends_with(".apk"))
            splits.push_back(dir + "/" + name);
    }
    if (found.empty())
        return {};
    std::sort(splits.begin(), splits.end());
    found.insert(found.end(), splits.begin(), splits.end());
    return found;
}

std::map<std::string, std::string> PackageManager::systemApks() const
{
    std::map<std::string, std::string> apks;
    for (const char *root : {"/system/app", "/system/priv-app"}) {
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(m_sandbox.hostPath(root), ec)) {
            std::string name = entry.path().filename().string();
            std::string apk = std::string(root) + "/" + name + "/" + name + ".apk";
            if (!m_sandbox.exists(apk))
                continue;
            const Badging &b = cachedBadging(apk);
            if (b.ok)
                apks[b.package] = apk;
        }
    }
    return apks;
}

const Badging &PackageManager::cachedBadging(const std::string &phonePath) const
{
    std::string host = m_sandbox.hostPath(phonePath);
    std::string now = stamp(host);
    auto it = m_badging.find(phonePath);
    if (it == m_badging.end() || it->second.first != now)
        it = m_badging.insert_or_assign(phonePath, std::make_pair(now, readBadging(host))).first;
    return it->second.second;
}

std::set<std::string> PackageManager::removedForUser() const
{
    std::set<std::string> removed;
    std::ifstream in(m_sandbox.hostPath(restrictions));
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("inst=\"false\"") != std::string::npos) {
            auto pos = line.find("name=\"");
            if (pos != std::string::npos) {
                pos += 6;
                removed.insert(line.substr(pos, line.find('"', pos) - pos));
            }
        }
    }
    return removed;
}

void PackageManager::setRemovedForUser(const std::string &package, bool removed)
{
    auto set = removedForUser();
    if (removed)
        set.insert(package);
    else
        set.erase(package);
    std::string xml = "<?xml version='1.0' encoding='utf-8' standalone='yes' ?>\n<package-restrictions>\n";
    for (const auto &p : set)
        xml += "    <pkg name=\"" + p + "\" inst=\"false\" stopped=\"true\" nl=\"true\" />\n";
    xml += "</package-restrictions>\n";
    m_sandbox.makeDir("/data/system/users", 0775, aid::system, aid::system);
    m_sandbox.makeDir("/data/system/users/0", 0700, aid::system, aid::system);
    m_sandbox.writeFile(restrictions, xml, 0660, aid::system, aid::system);
}

void PackageManager::registerUid(const std::string &package, uid_t uid)
{
    if (appUid(package, false) != 0)
        return;
    std::ofstream out(m_sandbox.hostPath(packagesList), std::ios::app);
    out << package << ' ' << uid << " 0 /data/data/" << package << '\n';
}

// In the order of packages.list, which is the order they came to the phone.
std::vector<PackageManager::Package> PackageManager::modernPackages() const
{
    auto user = userAppDirs();
    auto system = systemApks();
    auto removed = removedForUser();
    std::vector<Package> out;
    std::ifstream in(m_sandbox.hostPath(packagesList));
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        Package p;
        ss >> p.name >> p.uid;
        if (auto u = user.find(p.name); u != user.end()) {
            p.apks = apksIn(u->second);
        } else if (auto s = system.find(p.name); s != system.end()) {
            p.apks = {s->second};
            p.system = true;
            p.installed = !removed.contains(p.name);
        }
        if (!p.apks.empty())
            out.push_back(p);
    }
    return out;
}

bool PackageManager::placeSystem(const std::string &apkHostPath, const std::string &package, bool privileged,
                                 const std::string &name, uid_t uid)
{
    std::string dir = std::string(privileged ? "/system/priv-app/" : "/system/app/") + name;
    m_sandbox.makeDir(privileged ? "/system/priv-app" : "/system/app", 0755, aid::root, aid::root);
    m_sandbox.makeDir(dir, 0755, aid::root, aid::root);
    std::error_code ec;
    fs::copy_file(apkHostPath, m_sandbox.hostPath(dir + "/" + name + ".apk"), fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    chmod(m_sandbox.hostPath(dir + "/" + name + ".apk").c_str(), 0644);
    registerUid(package, uid);
    return true;
}

std::string PackageManager::placeParts(const std::string &baseHostPath,
                                       const std::vector<std::pair<std::string, std::string>> &splits,
                                       const std::string &package)
{
    auto dirs = userAppDirs();
    int generation = 0;
    std::error_code ec;
    if (auto it = dirs.find(package); it != dirs.end()) {
        generation = 1;
        fs::remove_all(m_sandbox.hostPath(it->second.substr(0, it->second.rfind('/'))), ec);
    }
    uid_t uid = appUid(package, true);
    setRemovedForUser(package, false);
    // Android 11+: /data/app/~~<id>/<package>-<id>/, ids random URL-safe Base64 of 16 bytes.
    std::string seed = package + std::to_string(generation) + std::to_string(std::time(nullptr));
    std::string outer = "/data/app/~~" + randomId("outer" + seed);
    std::string dir = outer + "/" + package + "-" + randomId(seed);
    m_sandbox.makeDir(outer, 0771, aid::system, aid::system);
    m_sandbox.makeDir(dir, 0775, aid::system, aid::system);
    std::vector<std::pair<std::string, std::string>> files = {{baseHostPath, "base.apk"}};
    for (const auto &s : splits)
        files.push_back({s.first, "split_" + s.second + ".apk"});
    for (const auto &[from, name] : files) {
        std::string host = m_sandbox.hostPath(dir + "/" + name);
        fs::copy_file(from, host, fs::copy_options::overwrite_existing, ec);
        if (ec)
            return {};
        chown(host.c_str(), aid::system, aid::system);
        chmod(host.c_str(), 0644);
    }
    std::string data = "/data/data/" + package;
    if (!m_sandbox.exists(data)) {
        m_sandbox.makeDir(data, 0700, uid, uid);
        m_sandbox.makeDir(data + "/cache", 0771, uid, uid);
        m_sandbox.makeDir(data + "/databases", 0771, uid, uid);
        m_sandbox.makeDir(data + "/shared_prefs", 0771, uid, uid);
    }
    return dir + "/base.apk";
}

CommandResult PackageManager::listModern(const std::vector<std::string> &args) const
{
    bool paths = false, uids = false, versions = false, systemOnly = false, userOnly = false, disabledOnly = false,
         withUninstalled = false;
    std::string filter;
    CommandResult result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "-f")
            paths = true;
        else if (a == "-U")
            uids = true;
        else if (a == "--show-versioncode")
            versions = true;
        else if (a == "-s")
            systemOnly = true;
        else if (a == "-3")
            userOnly = true;
        else if (a == "-d")
            disabledOnly = true;
        else if (a == "-u")
            withUninstalled = true;
        else if (a == "-e" || a == "-l" || a == "-a")
            ;
        else if (a == "--user")
            ++i;
        else if (!a.empty() && a[0] == '-') {
            result.output = "Error: Unknown option: " + a + "\n";
            result.exitCode = 255;
            return result;
        } else
            filter = a;
    }
    for (const auto &p : modernPackages()) {
        if ((systemOnly && !p.system) || (userOnly && p.system) || disabledOnly)
            continue;
        if ((!p.installed && !withUninstalled) || (!filter.empty() && p.name.find(filter) == std::string::npos))
            continue;
        // The order Android 12 prints the fields in: path=package, then versionCode, then uid.
        std::string line = "package:";
        if (paths)
            line += p.apks.front() + "=";
        line += p.name;
        if (versions)
            line += " versionCode:" + cachedBadging(p.apks.front()).versionCode;
        if (uids)
            line += " uid:" + std::to_string(p.uid);
        result.output += line + "\n";
    }
    return result;
}

CommandResult PackageManager::dump(const std::vector<std::string> &args) const
{
    CommandResult result;
    if (args.empty() || args[0] != "package" || !m_profile.isModern()) {
        result.exitCode = 1;
        result.output = "Can't find service: " + (args.empty() ? std::string() : args[0]) + "\n";
        return result;
    }
    const std::string only = args.size() > 1 && args[1] != "packages" ? args[1] : std::string();
    result.output = "Packages:\n";
    for (const auto &p : modernPackages()) {
        if (!only.empty() && p.name != only)
            continue;
        const Badging &b = cachedBadging(p.apks.front());
        const std::string dir = p.apks.front().substr(0, p.apks.front().rfind('/'));
        std::string splits = "base";
        for (size_t i = 1; i < p.apks.size(); ++i) {
            std::string file = p.apks[i].substr(p.apks[i].rfind('/') + 1);
            splits += ", " + file.substr(6, file.size() - 10); // split_<name>.apk
        }
        // Installed when its data folder was made, updated when its APK was written.
        const time_t updated = modified(m_sandbox.hostPath(p.apks.front()));
        const time_t data = modified(m_sandbox.hostPath("/data/data/" + p.name));
        const time_t installed = data > 0 && data < updated ? data : updated;
        const std::string id = objectId(p.name);
        const std::string flags =
            p.system ? "[ SYSTEM HAS_CODE ALLOW_CLEAR_USER_DATA ]" : "[ HAS_CODE ALLOW_CLEAR_USER_DATA ALLOW_BACKUP ]";
        std::string &o = result.output;
        o += "  Package [" + p.name + "] (" + id + "):\n";
        o += "    userId=" + std::to_string(p.uid) + "\n";
        o += "    pkg=Package{" + objectId(p.name + "pkg") + " " + p.name + "}\n";
        o += "    codePath=" + dir + "\n";
        o += "    resourcePath=" + dir + "\n";
        o += "    legacyNativeLibraryDir=" + dir + "/lib\n";
        o += "    primaryCpuAbi=null\n    secondaryCpuAbi=null\n";
        o += "    versionCode=" + b.versionCode + " minSdk=21 targetSdk=31\n";
        o += "    minExtensionVersions=[]\n";
        o += "    versionName=" + b.versionName + "\n";
        o += "    splits=[" + splits + "]\n";
        o += "    apkSigningVersion=2\n";
        o += "    applicationInfo=PackageImpl{" + objectId(p.name + "info") + " " + p.name + "}\n";
        o += "    flags=" + flags + "\n";
        o += "    forceQueryable=false\n    queriesPackages=[]\n";
        o += "    dataDir=/data/user/0/" + p.name + "\n";
        o += "    supportsScreens=[small, medium, large, xlarge, resizeable, anyDensity]\n";
        o += "    timeStamp=" + dumpTime(updated) + "\n";
        o += "    firstInstallTime=" + dumpTime(installed) + "\n";
        o += "    lastUpdateTime=" + dumpTime(updated) + "\n";
        o += "    signatures=PackageSignatures{" + objectId(p.name + "sig") + " version:2, signatures:[" +
             objectId(p.name + "key") + "], past signatures:[]}\n";
        o += "    installPermissionsFixed=true\n";
        o += "    pkgFlags=" + flags + "\n";
        o += std::string("    User 0: ceDataInode=") + std::to_string(100000 + p.uid) +
             " installed=" + (p.installed ? "true" : "false") +
             " hidden=false suspended=false distractionFlags=0 stopped=false notLaunched=false enabled=0 instant=false"
             " virtual=false\n";
        o += "      gids=[3003]\n      runtime permissions:\n";
    }
    return result;
}

CommandResult PackageManager::uninstallModern(const std::vector<std::string> &args)
{
    bool keepData = false;
    std::string package, user;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-k")
            keepData = true;
        else if (args[i] == "--user" && i + 1 < args.size())
            user = args[++i];
        else if (args[i] == "--versionCode")
            ++i;
        else if (!args[i].empty() && args[i][0] != '-')
            package = args[i];
    }
    CommandResult result;
    result.exitCode = 1;
    if (package.empty()) {
        result.output = "Error: package name not specified\n";
        return result;
    }
    const Package *found = nullptr;
    auto all = modernPackages();
    for (const auto &p : all) {
        if (p.name == package)
            found = &p;
    }
    if (!user.empty()) {
        // One user on this phone: "all" means user 0, other numbers have nothing installed.
        std::string id = user == "all" || user == "current" ? "0" : user;
        if (!found || !found->installed || id != "0") {
            result.output = "Failure [not installed for " + id + "]\n";
            return result;
        }
        if (found->system) {
            setRemovedForUser(package, true);
            if (!keepData) {
                std::error_code ec;
                fs::remove_all(m_sandbox.hostPath("/data/data/" + package), ec);
            }
            result.output = "Success\n";
            result.exitCode = 0;
            return result;
        }
    } else if (!found || found->system) {
        result.output = "Failure [DELETE_FAILED_INTERNAL_ERROR]\n";
        return result;
    }
    std::error_code ec;
    const std::string &base = found->apks.front();
    std::string dir = base.substr(0, base.rfind('/'));
    fs::remove_all(m_sandbox.hostPath(dir.substr(0, dir.rfind('/'))), ec);
    if (!keepData) {
        fs::remove_all(m_sandbox.hostPath("/data/data/" + package), ec);
        forgetPackage(package);
    }
    result.output = "Success\n";
    result.exitCode = 0;
    return result;
}

// install-create / install-write / install-commit / install-abandon, as adb's install-multiple drives them.
CommandResult PackageManager::session(const std::string &verb, const std::vector<std::string> &args,
                                      const std::string &streamed)
{
    CommandResult r;
    if (verb == "install-create") {
        char dir[] = "/tmp/phonesim-session-XXXXXX";
        if (!mkdtemp(dir)) {
            r.exitCode = 1;
            r.output = "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n";
            return r;
        }
        int id = m_nextSession++;
        m_sessions[id] = Session{dir, {}};
        r.output = "Success: created install session [" + std::to_string(id) + "]\n";
        return r;
    }
    // Everything after the options: session id, then (install-write) the part's name and its path.
    std::vector<std::string> words;
    int64_t size = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-S" && i + 1 < args.size())
            size = std::strtoll(args[++i].c_str(), nullptr, 10);
        else
            words.push_back(args[i]);
    }
    int id = words.empty() ? -1 : std::atoi(words[0].c_str());
    auto it = m_sessions.find(id);
    if (it == m_sessions.end()) {
        r.exitCode = 255;
        r.output = "Exception occurred while executing '" + verb +
                   "':\njava.lang.SecurityException: Caller has no "
                   "access to session " +
                   (words.empty() ? std::string("-1") : words[0]) + "\n";
        return r;
    }
    Session &s = it->second;
    std::error_code ec;
    if (verb == "install-write") {
        if (words.size() < 2 || streamed.empty()) {
            r.exitCode = 255;
            r.output = "Error: APK content must be streamed\n";
            return r;
        }
        std::string name = words[1];
        std::replace(name.begin(), name.end(), '/', '_');
        fs::copy_file(streamed, s.dir + "/" + name, fs::copy_options::overwrite_existing, ec);
        s.parts.push_back(s.dir + "/" + name);
        r.output =
            "Success: streamed " + std::to_string(size >= 0 ? size : int64_t(fs::file_size(streamed, ec))) + " bytes\n";
        return r;
    }
    Session done = s;
    m_sessions.erase(it);
    if (verb == "install-abandon") {
        fs::remove_all(done.dir, ec);
        r.output = "Success\n";
        return r;
    }
    std::string base, package;
    std::vector<std::pair<std::string, std::string>> splits;
    for (const auto &part : done.parts) {
        Badging b = readBadging(part);
        if (!b.ok) {
            fs::remove_all(done.dir, ec);
            r.exitCode = 1;
            r.output =
                "Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse " + part.substr(part.rfind('/') + 1) + "]\n";
            return r;
        }
        if (b.split.empty())
            base = part;
        else
            splits.push_back({part, b.split});
        package = b.package;
    }
    if (base.empty()) {
        fs::remove_all(done.dir, ec);
        r.exitCode = 1;
        r.output = "Failure [INSTALL_FAILED_MISSING_SPLIT: Missing split for " + package + "]\n";
        return r;
    }
    std::string placed = placeParts(base, splits, package);
    fs::remove_all(done.dir, ec);
    r.exitCode = placed.empty() ? 1 : 0;
    r.output = placed.empty() ? "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n" : "Success\n";
    return r;
}

CommandResult PackageManager::listOld(const std::vector<std::string> &args) const
{
    bool paths = false;
    bool systemOnly = false;
    std::string filter;
    CommandResult result;
    for (const auto &a : args) {
        if (a == "-f")
            paths = true;
        else if (a == "-s")
            systemOnly = true;
        else if (a == "-d" || a == "-e" || a == "-3" || a == "-u")
            ;
        else if (!a.empty() && a[0] == '-') {
            result.exitCode = 1;
            result.output = "Error: Unknown option: " + a + "\n";
            return result;
        } else
            filter = a;
    }
    // The old phones carry no system packages of their own: -s finds nothing.
    if (systemOnly)
        return result;
    std::ifstream in(m_sandbox.hostPath(packagesList));
    std::string line;
    while (std::getline(in, line)) {
        std::string name = line.substr(0, line.find(' '));
        if (name.empty() || (!filter.empty() && name.find(filter) == std::string::npos))
            continue;
        auto apks = installedApks(name);
        if (!apks.empty())
            result.output += "package:" + (paths ? apks.front() + "=" : std::string()) + name + "\n";
    }
    return result;
}

std::string PackageManager::usageText()
{
    return "usage: pm [list|path|install|uninstall]\n"
           "       pm list packages [-f] [-d] [-e] [-s] [-3] [-u] [FILTER]\n"
           "       pm path PACKAGE\n"
           "       pm install [-l] [-r] [-t] [-i INSTALLER_PACKAGE_NAME] [-s] [-f] PATH\n"
           "       pm uninstall [-k] PACKAGE\n";
}

CommandResult PackageManager::run(const std::vector<std::string> &args, const std::string &cwd,
                                  const std::string &streamedApk, bool viaCmd)
{
    std::string verb = args.empty() ? "" : args[0];
    std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (verb == "install")
        return install(rest, cwd, streamedApk);
    if (verb == "uninstall")
        return m_profile.isModern() ? uninstallModern(rest) : uninstall(rest);
    if (verb == "list" && !rest.empty() && rest[0] == "packages") {
        std::vector<std::string> options(rest.begin() + 1, rest.end());
        if (m_profile.isModern())
            return listModern(options);
        CommandResult r = listOld(options);
        if (r.exitCode != 0)
            r.output += usageText();
        return r;
    }
    if (m_profile.isModern() &&
        (verb == "install-create" || verb == "install-write" || verb == "install-commit" || verb == "install-abandon"))
        return session(verb, rest, streamedApk);
    if (verb == "path" && !rest.empty()) {
        CommandResult r;
        std::vector<std::string> apks;
        if (m_profile.isModern()) {
            for (const auto &p : modernPackages()) {
                if (p.name == rest.back() && p.installed)
                    apks = p.apks;
            }
        } else {
            apks = installedApks(rest[0]);
        }
        for (const auto &apk : apks)
            r.output += "package:" + apk + "\n";
        r.exitCode = r.output.empty() ? 1 : 0;
        return r;
    }
    CommandResult usage;
    usage.exitCode = 1;
    usage.output = viaCmd ? "Unknown command: " + verb + "\n" : usageText();
    return usage;
}

} // namespace phonesim
