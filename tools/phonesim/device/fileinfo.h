#pragma once

// Small file helpers shared by the two ls imitations.

#include "../common/denied.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace toolbox {

// "drwxr-x--x" and friends, with set-id and sticky bits.
inline std::string modeString(mode_t mode)
{
    std::string s(10, '-');
    switch (mode & S_IFMT) {
    case S_IFDIR:
        s[0] = 'd';
        break;
    case S_IFCHR:
        s[0] = 'c';
        break;
    case S_IFBLK:
        s[0] = 'b';
        break;
    case S_IFREG:
        s[0] = '-';
        break;
    case S_IFLNK:
        s[0] = 'l';
        break;
    case S_IFSOCK:
        s[0] = 's';
        break;
    case S_IFIFO:
        s[0] = 'p';
        break;
    default:
        s[0] = '?';
        break;
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

// lstat as the phone's shell user gets it: entries the phone hides from the shell fail with EACCES.
inline int phoneLstat(const std::string &path, struct stat *st)
{
    if (phonesimDeniedAt(AT_FDCWD, path.c_str())) {
        errno = EACCES;
        return -1;
    }
    return lstat(path.c_str(), st);
}

inline int phoneStat(const std::string &path, struct stat *st)
{
    if (phonesimDeniedAt(AT_FDCWD, path.c_str())) {
        errno = EACCES;
        return -1;
    }
    return stat(path.c_str(), st);
}

inline std::string joinPath(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

inline std::string baseOf(const std::string &path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

inline std::string linkTarget(const std::string &path)
{
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, size_t(n));
}

} // namespace toolbox
