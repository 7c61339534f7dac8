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

// Android 1.x/2.x toolbox ls: options l s R d a F, unsorted, no link count, no "total" line.

enum ToolboxFlags {
    ListLong = 1,
    ListSize = 2,
    ListRecursive = 4,
    ListDirectories = 8,
    ListAll = 16,
    ListClassify = 32
};

int toolboxListFile(const std::string &dir, const std::string &name, int flags)
{
    // toolbox joins with a plain "/": listing "/" stats "//init".
    std::string path = dir.empty() ? name : dir + "/" + name;
    if (!(flags & (ListLong | ListSize | ListClassify))) {
        std::printf("%s\n", name.c_str());
        return 0;
    }
    struct stat s;
    if (phoneLstat(path, &s) < 0) {
        std::fprintf(stderr, "lstat '%s' failed: %s\n", path.c_str(), std::strerror(errno));
        return -1;
    }
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
        std::printf("%s %-8s %-8s %3d, %3d %s %s\n", mode.c_str(), user.c_str(), group.c_str(), int(major(s.st_rdev)),
                    int(minor(s.st_rdev)), date, shown.c_str());
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
            if (phoneLstat(joinPath(name, entry), &s) == 0 && S_ISDIR(s.st_mode))
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
    int err = name.back() == '/' ? phoneStat(name, &s) : phoneLstat(name, &s);
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
                case 'l':
                    flags |= ListLong;
                    break;
                case 's':
                    flags |= ListSize;
                    break;
                case 'R':
                    flags |= ListRecursive;
                    break;
                case 'd':
                    flags |= ListDirectories;
                    break;
                case 'a':
                    flags |= ListAll;
                    break;
                case 'F':
                    flags |= ListClassify;
                    break;
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

} // namespace

int lsMain(int argc, char **argv)
{
    if (currentStyle() == Style::Rooted)
        return busyboxLs(argc, argv);
    return toolboxLs(argc, argv);
}

} // namespace toolbox
