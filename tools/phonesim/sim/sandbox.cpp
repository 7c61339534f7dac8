#include "sandbox.h"

#include "hostprocess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace phonesim {

namespace {

std::vector<std::string> splitPath(const std::string &path)
{
    std::vector<std::string> parts;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

bool copyFile(const std::string &from, const std::string &to, mode_t mode, bool always)
{
    struct stat src, dst;
    if (stat(from.c_str(), &src) < 0)
        return false;
    if (!always && stat(to.c_str(), &dst) == 0 && dst.st_size == src.st_size)
        return true;
    std::ifstream in(from, std::ios::binary);
    std::string tmp = to + ".new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!out)
            return false;
    }
    chmod(tmp.c_str(), mode);
    return rename(tmp.c_str(), to.c_str()) == 0;
}

const char *const hiddenLibrary = "/system/lib/phonesim-hidden.so";

// Commands of the Android 2.x toolbox that the phone's shell finds in /system/bin (no readlink and no cp
// before 4.x: files were copied with cat).
const char *const oldToolboxCommands[] = {
    "cat", "chmod", "chown", "cmp",  "date",   "dd",   "df",       "dmesg",  "getprop",
    "id",  "kill",  "ln",    "ls",   "mkdir", "mount",  "mv",   "printenv", "reboot", "renice",
    "rm",  "rmdir", "sleep", "sync", "touch", "umount", "echo", "hostname", "uptime", "pm",
};

} // namespace

Sandbox::Sandbox(std::string root, const Profile &profile) : m_root(std::move(root)), m_profile(profile) {}

std::optional<std::string> Sandbox::resolve(const std::string &phonePath, const std::string &cwd, bool followLast) const
{
    std::vector<std::string> pending = splitPath(phonePath);
    std::vector<std::string> done;
    if (phonePath.empty() || phonePath[0] != '/')
        done = splitPath(cwd);
    // Work through the components front to back; a link's target replaces the link in the pending list.
    std::reverse(pending.begin(), pending.end());
    int links = 0;
    while (!pending.empty()) {
        std::string part = pending.back();
        pending.pop_back();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!done.empty())
                done.pop_back();
            continue;
        }
        done.push_back(part);
        std::string host = m_root;
        for (const auto &d : done)
            host += "/" + d;
        struct stat st;
        if (lstat(host.c_str(), &st) < 0 || !S_ISLNK(st.st_mode))
            continue;
        if (pending.empty() && !followLast)
            continue;
        if (++links > 40)
            return std::nullopt;
        char target[4096];
        ssize_t n = readlink(host.c_str(), target, sizeof target - 1);
        if (n < 0)
            return std::nullopt;
        std::string t(target, size_t(n));
        done.pop_back();
        if (!t.empty() && t[0] == '/')
            done.clear();
        auto targetParts = splitPath(t);
        for (auto it = targetParts.rbegin(); it != targetParts.rend(); ++it)
            pending.push_back(*it);
    }
    std::string host = m_root;
    for (const auto &d : done)
        host += "/" + d;
    return host.size() == m_root.size() ? m_root + "/" : host;
}

bool Sandbox::makeDir(const std::string &phonePath, mode_t mode, uid_t uid, gid_t gid) const
{
    std::string host = hostPath(phonePath);
    if (mkdir(host.c_str(), mode) < 0 && errno != EEXIST)
        return false;
    // Ownership only works when the simulator runs as root; without it the phone shows the PC user.
    if (lchown(host.c_str(), uid, gid) < 0 && errno != EPERM)
        return false;
    return chmod(host.c_str(), mode) == 0;
}

bool Sandbox::writeFile(const std::string &phonePath, const std::string &content, mode_t mode, uid_t uid,
                        gid_t gid) const
{
    std::string host = hostPath(phonePath);
    {
        std::ofstream out(host, std::ios::binary | std::ios::trunc);
        out.write(content.data(), std::streamsize(content.size()));
        if (!out)
            return false;
    }
    if (lchown(host.c_str(), uid, gid) < 0 && errno != EPERM)
        return false;
    return chmod(host.c_str(), mode) == 0;
}

bool Sandbox::makeLink(const std::string &phonePath, const std::string &target) const
{
    std::string host = hostPath(phonePath);
    char existing[4096];
    ssize_t n = readlink(host.c_str(), existing, sizeof existing);
    if (n >= 0 && std::string(existing, size_t(n)) == target)
        return true;
    unlink(host.c_str());
    return symlink(target.c_str(), host.c_str()) == 0;
}

bool Sandbox::exists(const std::string &phonePath) const
{
    struct stat st;
    return lstat(hostPath(phonePath).c_str(), &st) == 0;
}

bool Sandbox::prepare(const std::string &toolboxBinary, std::string &error)
{
    if (mkdir(m_root.c_str(), 0755) < 0 && errno != EEXIST) {
        error = "cannot create " + m_root + ": " + std::strerror(errno);
        return false;
    }
    // The phone's users must be able to walk from "/", whatever the folder's mode on the PC was.
    chmod(m_root.c_str(), 0755);

    const bool modern = m_profile.isModern();
    struct Dir {
        const char *path;
        mode_t mode;
        uid_t uid;
        gid_t gid;
    };
    std::vector<Dir> dirs = {
        {"/system", 0755, aid::root, aid::root},
        {"/system/bin", 0755, aid::root, aid::shell},
        {"/system/app", 0755, aid::root, aid::root},
        {"/system/etc", 0755, aid::root, aid::root},
        {"/system/framework", 0755, aid::root, aid::root},
        {"/system/lib", 0755, aid::root, aid::root},
        {"/sbin", 0755, aid::root, aid::root},
        {"/sys", 0755, aid::root, aid::root},
        {"/proc", 0555, aid::root, aid::root},
        {"/dev", 0755, aid::root, aid::root},
        {"/data", 0771, aid::system, aid::system},
        {"/data/app", 0771, aid::system, aid::system},
        {"/data/app-private", 0771, aid::system, aid::system},
        {"/data/data", 0771, aid::system, aid::system},
        {"/data/local", 0771, aid::shell, aid::shell},
        {"/data/local/tmp", 0771, aid::shell, aid::shell},
        {"/data/system", 0775, aid::system, aid::system},
        {"/data/dalvik-cache", 0771, aid::system, aid::system},
        {"/root", 0700, aid::root, aid::root},
        {"/mnt", 0775, aid::root, aid::system},
        {"/lib", 0755, aid::root, aid::root},
        {"/lib64", 0755, aid::root, aid::root},
    };
    if (modern) {
        // /cache moved into /data; /metadata came with file-based encryption. The shell may not look at
        // either (see common/denied.h).
        dirs.push_back({"/data/cache", 0770, aid::system, aid::cache});
        dirs.push_back({"/data/cache/recovery", 0770, aid::system, aid::cache});
        dirs.push_back({"/metadata", 0771, aid::root, aid::system});
        dirs.push_back({"/storage", 0751, aid::root, aid::sdcardRw});
        dirs.push_back({"/storage/emulated", 0771, aid::root, aid::sdcardRw});
        dirs.push_back({"/storage/emulated/0", 0775, aid::root, aid::sdcardRw});
    } else {
        dirs.push_back({"/cache", 0770, aid::system, aid::cache});
        dirs.push_back({"/cache/recovery", 0770, aid::system, aid::cache});
        dirs.push_back({"/mnt/sdcard", 0775, aid::system, aid::sdcardRw});
        dirs.push_back({"/mnt/asec", 0755, aid::root, aid::system});
        dirs.push_back({"/mnt/secure", 0700, aid::root, aid::root});
        dirs.push_back({"/dev/graphics", 0755, aid::root, aid::root});
    }
    if (m_profile.kind == ProfileKind::Rooted) {
        dirs.push_back({"/system/xbin", 0755, aid::root, aid::shell});
        dirs.push_back({"/sd-ext", 0771, aid::system, aid::system});
        dirs.push_back({"/sd-ext/app", 0771, aid::system, aid::system});
        dirs.push_back({"/sd-ext/app-private", 0771, aid::system, aid::system});
        dirs.push_back({"/sd-ext/dalvik-cache", 0771, aid::system, aid::system});
    }
    for (const auto &d : dirs) {
        if (!makeDir(d.path, d.mode, d.uid, d.gid)) {
            error = std::string("cannot create ") + d.path + " in the sandbox: " + std::strerror(errno);
            return false;
        }
    }
    makeLink("/etc", "/system/etc");
    makeLink("/sdcard", modern ? "/storage/emulated/0" : "/mnt/sdcard");
    if (modern)
        makeLink("/cache", "/data/cache");
    if (!exists("/init"))
        writeFile("/init",
                  "\x7f"
                  "ELF",
                  0750, aid::root, aid::root);
    if (!exists("/init.rc"))
        writeFile("/init.rc", "on init\n    export PATH /sbin:/system/sbin:/system/bin:/system/xbin\n", 0750, aid::root,
                  aid::root);

    writeAccounts();
    writeProperties();
    writeMounts();
    makeDevices();
    return installBinaries(toolboxBinary, error);
}

void Sandbox::writeAccounts()
{
    struct Account {
        const char *name;
        unsigned id;
    };
    static const Account accounts[] = {
        {"root", 0},        {"system", 1000},       {"radio", 1001},        {"bluetooth", 1002},  {"graphics", 1003},
        {"input", 1004},    {"audio", 1005},        {"camera", 1006},       {"log", 1007},        {"compass", 1008},
        {"mount", 1009},    {"wifi", 1010},         {"adb", 1011},          {"install", 1012},    {"media", 1013},
        {"dhcp", 1014},     {"sdcard_rw", 1015},    {"vpn", 1016},          {"keystore", 1017},   {"usb", 1018},
        {"media_rw", 1023}, {"sdcard_r", 1028},     {"ext_data_rw", 1078},  {"ext_obb_rw", 1079}, {"shell", 2000},
        {"cache", 2001},    {"diag", 2002},         {"net_bt_admin", 3001}, {"net_bt", 3002},     {"inet", 3003},
        {"net_raw", 3004},  {"net_bw_stats", 3006}, {"readproc", 3009},     {"uhid", 3011},       {"everybody", 9997},
        {"misc", 9998},     {"nobody", 9999},
    };
    std::string passwd, group;
    auto add = [&](const std::string &name, unsigned id) {
        passwd += name + ":x:" + std::to_string(id) + ":" + std::to_string(id) + "::/:/system/bin/sh\n";
        group += name + ":x:" + std::to_string(id) + ":\n";
    };
    for (const auto &a : accounts)
        add(a.name, a.id);
    // Application ids get their names on the fly on a phone; list enough of them here.
    for (unsigned n = 0; n < 200; ++n)
        add(m_profile.appUserPrefix + std::to_string(n), aid::appStart + n);
    writeFile("/system/etc/passwd", passwd, 0644, aid::root, aid::root);
    writeFile("/system/etc/group", group, 0644, aid::root, aid::root);
}

void Sandbox::writeProperties()
{
    std::string build = "# begin build properties\n"
                        "ro.build.id=" +
                        std::string(m_profile.isModern() ? "SP1A.210812.016" : "FRF91") +
                        "\n"
                        "ro.build.version.sdk=" +
                        std::to_string(m_profile.sdk) +
                        "\n"
                        "ro.build.version.release=" +
                        m_profile.release +
                        "\n"
                        "ro.product.model=" +
                        m_profile.model +
                        "\n"
                        "ro.product.name=" +
                        m_profile.productName +
                        "\n"
                        "ro.product.device=" +
                        m_profile.device +
                        "\n"
                        "ro.product.manufacturer=" +
                        (m_profile.isModern() ? "Google" : "HTC") +
                        "\n"
                        "ro.product.cpu.abi=armeabi-v7a\n"
                        "# end build properties\n";
    writeFile("/system/build.prop", build, 0644, aid::root, aid::root);
    std::string defaults = std::string("ro.secure=") + (m_profile.root ? "0" : "1") + "\n" +
                           "ro.debuggable=" + (m_profile.root ? "1" : "0") + "\npersist.service.adb.enable=1\n";
    writeFile("/default.prop", defaults, 0644, aid::root, aid::root);
}

void Sandbox::writeMounts()
{
    std::string mounts = "rootfs / rootfs ro,relatime 0 0\ntmpfs /dev tmpfs rw,relatime,mode=755 0 0\n"
                         "proc /proc proc rw,relatime 0 0\nsysfs /sys sysfs rw,relatime 0 0\n";
    switch (m_profile.kind) {
    case ProfileKind::Legacy:
        mounts += "tmpfs /mnt/asec tmpfs rw,relatime,mode=755,gid=1000 0 0\n"
                  "/dev/block/mtdblock3 /system yaffs2 ro,relatime 0 0\n"
                  "/dev/block/mtdblock5 /data yaffs2 rw,nosuid,nodev,relatime 0 0\n"
                  "/dev/block/mtdblock4 /cache yaffs2 rw,nosuid,nodev,relatime 0 0\n"
                  "/dev/block/vold/179:1 /mnt/sdcard vfat rw,dirsync,nosuid,nodev,noexec,relatime,uid=1000,"
                  "gid=1015,fmask=0702,dmask=0702 0 0\n";
        break;
    case ProfileKind::Rooted:
        mounts += "tmpfs /mnt/asec tmpfs rw,relatime,mode=755,gid=1000 0 0\n"
                  "/dev/block/mtdblock3 /system yaffs2 ro,relatime 0 0\n"
                  "/dev/block/mtdblock5 /data yaffs2 rw,nosuid,nodev,relatime 0 0\n"
                  "/dev/block/mtdblock4 /cache yaffs2 rw,nosuid,nodev,relatime 0 0\n"
                  "/dev/block/mmcblk0p2 /sd-ext ext4 rw,nodev,noatime,nodiratime,data=ordered 0 0\n"
                  "/dev/block/vold/179:1 /mnt/sdcard vfat rw,dirsync,nosuid,nodev,noexec,relatime,uid=1000,"
                  "gid=1015,fmask=0702,dmask=0702 0 0\n";
        break;
    case ProfileKind::Modern:
        mounts += "/dev/block/dm-4 /system ext4 ro,seclabel,relatime 0 0\n"
                  "/dev/block/dm-8 /data f2fs rw,lazytime,seclabel,nosuid,nodev,noatime 0 0\n"
                  "/dev/fuse /storage/emulated fuse rw,lazytime,nosuid,nodev,noexec,noatime 0 0\n";
        break;
    }
    writeFile("/proc/mounts", mounts, 0444, aid::root, aid::root);
}

void Sandbox::makeDevices()
{
    struct Node {
        const char *path;
        unsigned major, minor;
    };
    for (const Node &n : {Node{"/dev/null", 1, 3}, Node{"/dev/zero", 1, 5}, Node{"/dev/urandom", 1, 9}}) {
        std::string host = hostPath(n.path);
        struct stat st;
        if (lstat(host.c_str(), &st) == 0)
            continue;
        // Without root the placeholder is bind-mounted over by the real device in each phone process.
        if (mknod(host.c_str(), S_IFCHR | 0666, makedev(n.major, n.minor)) < 0)
            writeFile(n.path, "", 0666, aid::root, aid::root);
        else
            chmod(host.c_str(), 0666);
    }
}

void Sandbox::installLocale()
{
    // toybox turns to en_US.UTF-8 when the environment names no UTF-8 locale, as on a phone, where bionic is
    // always UTF-8. glibc needs that locale's files for it, or every non-ASCII name comes out mangled; its
    // C.UTF-8 files serve under that name, in /system/usr (LOCPATH) so that "/" lists no /usr.
    const std::string from = "/usr/lib/locale/C.utf8";
    const std::string to = std::string(localeFolder) + "/en_US.utf8";
    std::string made;
    for (const auto &part : splitPath(to)) {
        made += "/" + part;
        mkdir(hostPath(made).c_str(), 0755);
    }
    for (const char *category :
         {"LC_CTYPE", "LC_COLLATE", "LC_NUMERIC", "LC_TIME", "LC_MONETARY", "LC_MESSAGES", "LC_PAPER", "LC_NAME",
          "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"}) {
        struct stat st;
        if (stat((from + "/" + category).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            mkdir(hostPath(to + "/" + category).c_str(), 0755);
            copyFile(from + "/" + category + "/SYS_" + category, hostPath(to + "/" + category + "/SYS_" + category),
                     0644, false);
        } else {
            copyFile(from + "/" + category, hostPath(to + "/" + category), 0644, false);
        }
    }
}

bool Sandbox::installBinaries(const std::string &toolboxBinary, std::string &error)
{
    struct Binary {
        std::string from;
        std::string to;
    };
    const std::vector<Binary> binaries = {
        {"/bin/dash", "/system/bin/sh"},
        {"/usr/bin/toybox", "/system/bin/toybox"},
    };
    for (const auto &b : binaries) {
        if (!copyFile(b.from, hostPath(b.to), 0755, false)) {
            error = "cannot install " + b.from + " as the phone's " + b.to;
            return false;
        }
        // Dynamically linked: the phone needs the same loader and libraries at the same paths.
        std::string out;
        runHostProgram({"ldd", b.from}, out);
        std::stringstream ss(out);
        std::string line;
        while (std::getline(ss, line)) {
            auto slash = line.find('/');
            if (slash == std::string::npos)
                continue;
            std::string lib = line.substr(slash, line.find(' ', slash) - slash);
            std::string dir = lib.substr(0, lib.rfind('/'));
            std::string made;
            for (const auto &part : splitPath(dir)) {
                made += "/" + part;
                mkdir(hostPath(made).c_str(), 0755);
            }
            copyFile(lib, hostPath(lib), 0755, false);
        }
    }
    installLocale();
    if (!copyFile(toolboxBinary, hostPath("/system/bin/toolbox"), 0755, true)) {
        error = "cannot install the phone's toolbox from " + toolboxBinary;
        return false;
    }
    // The dynamic programs (sh, toybox) load the shell user's SELinux denials before anything else.
    const std::string hidden = toolboxBinary.substr(0, toolboxBinary.rfind('/') + 1) + "phonesim-hidden.so";
    if (!copyFile(hidden, hostPath(hiddenLibrary), 0755, true)) {
        error = "cannot install the phone's " + std::string(hiddenLibrary) + " from " + hidden;
        return false;
    }
    writeFile("/system/etc/ld.so.preload", std::string(hiddenLibrary) + "\n", 0644, aid::root, aid::root);

    if (m_profile.isModern()) {
        std::string list;
        runHostProgram({"/usr/bin/toybox"}, list);
        std::stringstream ss(list);
        std::string name;
        while (ss >> name) {
            if (name != "sh" && name != "toybox")
                makeLink("/system/bin/" + name, "toybox");
        }
        for (const char *own : {"reboot", "getprop", "pm", "cmd", "dumpsys", "df", "unzip", "screencap"})
            makeLink(std::string("/system/bin/") + own, "toolbox");
        return true;
    }
    for (const char *name : oldToolboxCommands)
        makeLink(std::string("/system/bin/") + name, "toolbox");
    if (m_profile.screenWidth > 0)
        makeLink("/system/bin/screencap", "toolbox");
    if (m_profile.hasFlashImage)
        makeLink("/system/bin/flash_image", "toolbox");
    if (m_profile.hasBusybox) {
        if (!copyFile("/bin/busybox", hostPath("/system/xbin/busybox"), 0755, false)) {
            error = "cannot install /bin/busybox (package busybox-static) on the phone";
            return false;
        }
        std::string list;
        runHostProgram({"/bin/busybox", "--list"}, list);
        std::stringstream ss(list);
        std::string name;
        while (ss >> name) {
            if (name != "busybox")
                makeLink("/system/xbin/" + name, "busybox");
        }
        // The old busybox's own ls and df, as the simulator imitates them.
        makeLink("/system/xbin/ls", "/system/bin/toolbox");
        makeLink("/system/xbin/df", "/system/bin/toolbox");
        makeLink("/system/xbin/su", "/system/bin/toolbox");
    }
    return true;
}

} // namespace phonesim
