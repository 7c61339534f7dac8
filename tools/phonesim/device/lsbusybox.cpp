#include "toolbox.h"

#include "fileinfo.h"

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

// The busybox 1.x ls of rooted 2.x phones: sorted, "-e" prints the full ctime() date.

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

} // namespace

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
            case 'a':
                o.all = true;
                break;
            case 'A':
                o.almostAll = true;
                break;
            case 'l':
                o.longForm = true;
                break;
            case 'e':
                o.fullTime = true;
                o.longForm = true;
                break;
            case '1':
                o.oneColumn = true;
                break;
            case 'd':
                o.directory = true;
                break;
            case 'R':
                o.recursive = true;
                break;
            case 'n':
                o.numeric = true;
                o.longForm = true;
                break;
            case 'r':
                o.reverse = true;
                break;
            case 'S':
                o.bySize = true;
                break;
            case 't':
                o.byTime = true;
                break;
            case 'F':
                o.classify = true;
                break;
            case 'p':
                o.slashDirs = true;
                break;
            case 'L':
                o.follow = true;
                break;
            case 's':
                o.blocks = true;
                break;
            case 'C':
            case 'x':
            case 'h':
            case 'c':
            case 'u':
            case 'i':
            case 'H':
            case 'X':
            case 'v':
                break;
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

} // namespace toolbox
