#include "toolbox.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace toolbox {

namespace {

std::string modeString(mode_t mode)
{
    std::string s(10, '-');
    switch (mode & S_IFMT) {
    case S_IFDIR: s[0] = 'd'; break;
    case S_IFCHR: s[0] = 'c'; break;
    case S_IFBLK: s[0] = 'b'; break;
    case S_IFREG: s[0] = '-'; break;
    case S_IFLNK: s[0] = 'l'; break;
    case S_IFSOCK: s[0] = 's'; break;
    case S_IFIFO: s[0] = 'p'; break;
    default: s[0] = '?'; break;
    }
    const char *rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s[1 + i] = (mode & (0400 >> i)) ? rwx[i] : '-';
    if (mode & S_ISUID)
        s[3] = (mode & S_IXUSR) ? 's' : 'S';
    if (mode & S_ISGID)
        s[6] = (mode & S_IXGRP) ? 's' : 'S';
    if (mode & S_ISVTX)
        s[9] = (mode & S_IXOTH) ? 't' : 'T';
    return s;
}

std::string joinPath(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string baseOf(const std::string &path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string linkTarget(const std::string &path)
{
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, size_t(n));
}

// ---- Android 1.x/2.x toolbox ls: options l s R d a F, unsorted, no link count, no "total" line ----

enum ToolboxFlags { ListLong = 1, ListSize = 2, ListRecursive = 4, ListDirectories = 8, ListAll = 16, ListClassify = 32 };

int toolboxListFile(const std::string &dir, const std::string &name, int flags)
{
    std::string path = joinPath(dir, name);
    if (!(flags & (ListLong | ListSize | ListClassify))) {
        std::printf("%s\n", name.c_str());
        return 0;
    }
    struct stat s;
    if (lstat(path.c_str(), &s) < 0)
        return -1;
    std::string shown = baseOf(path);
    if (flags & ListSize) {
        std::printf("%lld %s\n", static_cast<long long>(s.st_blocks / 2), shown.c_str());
        return 0;
    }
    if (!(flags & ListLong)) {
        const char *suffix = S_ISDIR(s.st_mode) ? "/" : S_ISLNK(s.st_mode) ? "@" : (s.st_mode & 0111) ? "*" : "";
        std::printf("%s%s\n", shown.c_str(), suffix);
        return 0;
    }
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&s.st_mtime));
    std::string mode = modeString(s.st_mode);
    std::string user = userName(s.st_uid);
    std::string group = groupName(s.st_gid);
    switch (s.st_mode & S_IFMT) {
    case S_IFBLK:
    case S_IFCHR:
        std::printf("%s %-8s %-8s %3d, %3d %s %s\n", mode.c_str(), user.c_str(), group.c_str(),
                    int(major(s.st_rdev)), int(minor(s.st_rdev)), date, shown.c_str());
        break;
    case S_IFREG:
        std::printf("%s %-8s %-8s %8lld %s %s\n", mode.c_str(), user.c_str(), group.c_str(),
                    static_cast<long long>(s.st_size), date, shown.c_str());
        break;
    case S_IFLNK:
        std::printf("%s %-8s %-8s          %s %s -> %s\n", mode.c_str(), user.c_str(), group.c_str(), date,
                    shown.c_str(), linkTarget(path).c_str());
        break;
    default:
        std::printf("%s %-8s %-8s          %s %s\n", mode.c_str(), user.c_str(), group.c_str(), date, shown.c_str());
    }
    return 0;
}

int toolboxListDir(const std::string &name, int flags)
{
    DIR *d = opendir(name.c_str());
    if (!d) {
        std::fprintf(stderr, "opendir failed, %s\n", std::strerror(errno));
        return -1;
    }
    std::vector<std::string> subdirs;
    while (dirent *de = readdir(d)) {
        std::string entry = de->d_name;
        if (entry[0] == '.' && !(flags & ListAll))
            continue;
        toolboxListFile(name, entry, flags);
        if ((flags & ListRecursive) && entry != "." && entry != "..") {
            struct stat s;
            if (lstat(joinPath(name, entry).c_str(), &s) == 0 && S_ISDIR(s.st_mode))
                subdirs.push_back(joinPath(name, entry));
        }
    }
    closedir(d);
    for (const auto &sub : subdirs) {
        std::printf("\n%s:\n", sub.c_str());
        toolboxListDir(sub, flags);
    }
    return 0;
}

int toolboxListPath(const std::string &name, int flags)
{
    struct stat s;
    // A trailing "/" lists the folder a link points to.
    int err = name.back() == '/' ? stat(name.c_str(), &s) : lstat(name.c_str(), &s);
    if (err < 0) {
        std::perror(name.c_str());
        return -1;
    }
    if (!(flags & ListDirectories) && S_ISDIR(s.st_mode)) {
        if (flags & ListRecursive)
            std::printf("\n%s:\n", name.c_str());
        return toolboxListDir(name, flags);
    }
    return toolboxListFile("", name, flags);
}

int toolboxLs(int argc, char **argv)
{
    int flags = 0;
    int listed = 0;
    int err = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            for (const char *arg = argv[i] + 1; *arg; ++arg) {
                switch (*arg) {
                case 'l': flags |= ListLong; break;
                case 's': flags |= ListSize; break;
                case 'R': flags |= ListRecursive; break;
                case 'd': flags |= ListDirectories; break;
                case 'a': flags |= ListAll; break;
                case 'F': flags |= ListClassify; break;
                default:
                    std::fprintf(stderr, "%s: Unknown option '-%c'. Aborting.\n", "ls", *arg);
                    std::exit(1);
                }
            }
        } else {
            err = toolboxListPath(argv[i], flags);
            ++listed;
        }
    }
    if (listed > 0)
        return err ? 1 : 0;
    return toolboxListPath(".", flags) ? 1 : 0;
}

// ---- the busybox 1.x ls of rooted 2.x phones: sorted, "-e" prints the full ctime() date ----

struct BusyboxOptions {
    bool all = false, almostAll = false, longForm = false, fullTime = false, oneColumn = false, directory = false;
    bool recursive = false, numeric = false, reverse = false, bySize = false, byTime = false, classify = false;
    bool slashDirs = false, follow = false, blocks = false, color = false;
};

struct Entry {
    std::string name; // as shown
    std::string path; // for stat and readlink
    struct stat st;
};

std::string busyboxDate(time_t t, bool full)
{
    char *text = std::ctime(&t); // "Sun Dec  6 11:09:41 2026\n"
    if (full)
        return std::string(text, 24);
    time_t age = std::time(nullptr) - t;
    if (age < 3600L * 24 * 365 / 2 && age > -15 * 60)
        return std::string(text + 4, 6) + " " + std::string(text + 11, 5);
    return std::string(text + 4, 6) + "  " + std::string(text + 20, 4);
}

std::string colored(const std::string &name, mode_t mode, bool color)
{
    if (!color)
        return name;
    const char *code = "0;0";
    if (S_ISDIR(mode))
        code = "1;34";
    else if (S_ISLNK(mode))
        code = "1;36";
    else if (S_ISFIFO(mode))
        code = "0;33";
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        code = "1;33";
    else if (S_ISSOCK(mode))
        code = "1;35";
    else if (mode & 0111)
        code = "1;32";
    return std::string("\033[") + code + "m" + name + "\033[0m";
}

char classifyChar(mode_t mode)
{
    if (S_ISDIR(mode))
        return '/';
    if (S_ISLNK(mode))
        return '@';
    if (S_ISFIFO(mode))
        return '|';
    if (S_ISSOCK(mode))
        return '=';
    return (mode & 0111) ? '*' : 0;
}

std::string busyboxSingle(const Entry &e, const BusyboxOptions &o)
{
    std::string line;
    char buf[256];
    if (o.blocks) {
        std::snprintf(buf, sizeof buf, "%4lld ", static_cast<long long>(e.st.st_blocks / 2));
        line += buf;
    }
    if (o.longForm) {
        std::string user = o.numeric ? std::to_string(e.st.st_uid) : userName(e.st.st_uid);
        std::string group = o.numeric ? std::to_string(e.st.st_gid) : groupName(e.st.st_gid);
        std::snprintf(buf, sizeof buf, "%-10s %4lu %-8.8s %-8.8s ", modeString(e.st.st_mode).c_str(),
                      static_cast<unsigned long>(e.st.st_nlink), user.c_str(), group.c_str());
        line += buf;
        if (S_ISCHR(e.st.st_mode) || S_ISBLK(e.st.st_mode))
            std::snprintf(buf, sizeof buf, "%4u, %4u ", major(e.st.st_rdev), minor(e.st.st_rdev));
        else
            std::snprintf(buf, sizeof buf, "%9llu ", static_cast<unsigned long long>(e.st.st_size));
        line += buf;
        line += busyboxDate(e.st.st_mtime, o.fullTime) + " ";
    }
    line += colored(e.name, e.st.st_mode, o.color);
    if (o.longForm && S_ISLNK(e.st.st_mode)) {
        std::string target = linkTarget(e.path);
        struct stat ts;
        mode_t targetMode = stat(e.path.c_str(), &ts) == 0 ? ts.st_mode : 0;
        line += " -> " + colored(target, targetMode, o.color);
        if (o.classify && targetMode)
            if (char c = classifyChar(targetMode))
                line += c;
    } else if (o.classify) {
        if (char c = classifyChar(e.st.st_mode))
            line += c;
    } else if (o.slashDirs && S_ISDIR(e.st.st_mode)) {
        line += '/';
    }
    return line;
}

// Characters a terminal shows: UTF-8 continuation bytes and colour escapes take no room.
size_t visibleLength(const std::string &text)
{
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\033') {
            while (i < text.size() && text[i] != 'm')
                ++i;
            continue;
        }
        n += (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80;
    }
    return n;
}

void busyboxShow(std::vector<Entry> &entries, const BusyboxOptions &o)
{
    std::sort(entries.begin(), entries.end(), [&o](const Entry &a, const Entry &b) {
        bool less;
        if (o.bySize && a.st.st_size != b.st.st_size)
            less = a.st.st_size > b.st.st_size;
        else if (o.byTime && a.st.st_mtime != b.st.st_mtime)
            less = a.st.st_mtime > b.st.st_mtime;
        else
            less = a.name < b.name;
        return o.reverse ? !less : less;
    });
    if (o.longForm || o.oneColumn || !onTerminal()) {
        for (const auto &e : entries)
            std::printf("%s\n", busyboxSingle(e, o).c_str());
        return;
    }
    // Terminal output without -l: names in columns, down then across, 80 characters wide.
    size_t width = 0;
    for (const auto &e : entries)
        width = std::max(width, visibleLength(e.name) + (o.classify || o.slashDirs ? 1 : 0));
    width += 2 + (o.blocks ? 5 : 0);
    size_t n = entries.size();
    size_t cols = std::max<size_t>(1, 80 / width);
    size_t rows = cols > 1 ? (n + cols - 1) / cols : n;
    if (cols <= 1)
        cols = 1;
    for (size_t r = 0; r < rows; ++r) {
        std::string line;
        size_t column = 0;
        size_t nextTab = 0;
        for (size_t c = 0; c < cols; ++c) {
            size_t i = c * rows + r;
            if (i >= n)
                continue;
            if (column > 0) {
                line.append(nextTab - column, ' ');
                column = nextTab;
            }
            nextTab = column + width;
            std::string text = busyboxSingle(entries[i], o);
            line += text;
            column += visibleLength(text);
        }
        std::printf("%s\n", line.c_str());
    }
}

bool busyboxStat(const std::string &path, bool follow, struct stat &st)
{
    return (follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) == 0;
}

int busyboxListDir(const std::string &dir, const BusyboxOptions &o, bool header)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        std::fprintf(stderr, "ls: %s: %s\n", dir.c_str(), std::strerror(errno));
        return 1;
    }
    std::vector<Entry> entries;
    while (dirent *de = readdir(d)) {
        std::string name = de->d_name;
        if (name[0] == '.') {
            if (!o.all && !o.almostAll)
                continue;
            if (o.almostAll && !o.all && (name == "." || name == ".."))
                continue;
        }
        Entry e{name, joinPath(dir, name), {}};
        if (!busyboxStat(e.path, o.follow, e.st))
            continue;
        entries.push_back(std::move(e));
    }
    closedir(d);
    if (header)
        std::printf("\n%s:\n", dir.c_str());
    busyboxShow(entries, o);
    int rc = 0;
    if (o.recursive) {
        for (const auto &e : entries) {
            if (S_ISDIR(e.st.st_mode) && e.name != "." && e.name != "..")
                rc |= busyboxListDir(e.path, o, true);
        }
    }
    return rc;
}

int busyboxUsage(const char *bad)
{
    std::fprintf(stderr, "ls: invalid option -- %s\n", bad);
    std::fprintf(stderr, "BusyBox v1.19.4-cm7 bionic (2012-02-04 22:27 +0100) multi-call binary.\n\n"
                         "Usage: ls [-1AaCxdLHRFplinsehrSXvctu] [-w WIDTH] [FILE]...\n\n"
                         "List directory contents\n");
    return 1;
}

int busyboxLs(int argc, char **argv)
{
    BusyboxOptions o;
    std::vector<std::string> paths;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        if (arg.rfind("--color", 0) == 0) {
            std::string when = arg.size() > 8 ? arg.substr(8) : "always";
            o.color = when == "always" || when == "yes" || when == "force" || (when == "auto" && onTerminal());
            continue;
        }
        if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "ls: unrecognized option '%s'\n", arg.c_str());
            return busyboxUsage(arg.c_str() + 2);
        }
        for (size_t k = 1; k < arg.size(); ++k) {
            switch (arg[k]) {
            case 'a': o.all = true; break;
            case 'A': o.almostAll = true; break;
            case 'l': o.longForm = true; break;
            case 'e': o.fullTime = true; o.longForm = true; break;
            case '1': o.oneColumn = true; break;
            case 'd': o.directory = true; break;
            case 'R': o.recursive = true; break;
            case 'n': o.numeric = true; o.longForm = true; break;
            case 'r': o.reverse = true; break;
            case 'S': o.bySize = true; break;
            case 't': o.byTime = true; break;
            case 'F': o.classify = true; break;
            case 'p': o.slashDirs = true; break;
            case 'L': o.follow = true; break;
            case 's': o.blocks = true; break;
            case 'C': case 'x': case 'h': case 'c': case 'u': case 'i': case 'H': case 'X': case 'v': break;
            default: {
                char bad[2] = {arg[k], 0};
                return busyboxUsage(bad);
            }
            }
        }
    }
    if (paths.empty())
        paths.push_back(".");
    int rc = 0;
    std::vector<Entry> files;
    std::vector<std::string> dirs;
    for (const auto &p : paths) {
        Entry e{p, p, {}};
        bool follow = o.follow || p.back() == '/' || !o.longForm;
        if (!busyboxStat(p, follow, e.st)) {
            std::fprintf(stderr, "ls: %s: %s\n", p.c_str(), std::strerror(errno));
            rc = 1;
            continue;
        }
        if (S_ISDIR(e.st.st_mode) && !o.directory)
            dirs.push_back(p);
        else
            files.push_back(std::move(e));
    }
    busyboxShow(files, o);
    std::sort(dirs.begin(), dirs.end());
    bool headers = paths.size() > 1 || o.recursive;
    for (size_t i = 0; i < dirs.size(); ++i) {
        if (headers) {
            if (i > 0 || !files.empty())
                std::printf("\n");
            std::printf("%s:\n", dirs[i].c_str());
        }
        BusyboxOptions sub = o;
        rc |= busyboxListDir(dirs[i], sub, false);
    }
    return rc;
}

} // namespace

int lsMain(int argc, char **argv)
{
    if (currentStyle() == Style::Rooted)
        return busyboxLs(argc, argv);
    return toolboxLs(argc, argv);
}

} // namespace toolbox
