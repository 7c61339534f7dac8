#pragma once

/* Entries of the phone's "/" that its shell user may not even stat or open. Current phones hide them through
 * SELinux (toybox lists them as rows of "?"). A 2.x phone had no SELinux: its shell stats /init like any
 * other entry. The simulator has no SELinux, so the phone-side code asks here.
 * Plain C: it is shared by the static toolbox and the library preloaded into the phone's dynamic programs. */

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

static inline int phonesimHiddenName(const char *profile, const char *name, size_t length)
{
    static const char *const hidden[][2] = {
        {"modern", "metadata"},
        {"modern", "cache"},
    };
    for (size_t i = 0; i < sizeof hidden / sizeof hidden[0]; ++i) {
        if (strcmp(profile, hidden[i][0]) == 0 && strlen(hidden[i][1]) == length &&
            memcmp(name, hidden[i][1], length) == 0)
            return 1;
    }
    return 0;
}

/* Whether path, taken relative to dirfd as the *at() calls do, names one of the hidden entries. Only raw
 * system calls here, so that the preloaded library never calls back into itself. */
static inline int phonesimDeniedAt(int dirfd, const char *path)
{
    const char *profile = getenv("PHONESIM_PROFILE");
    if (!profile || !path || geteuid() == 0)
        return 0;
    size_t end = strlen(path);
    while (end > 1 && path[end - 1] == '/')
        --end;
    size_t start = end;
    while (start > 0 && path[start - 1] != '/')
        --start;
    if (!phonesimHiddenName(profile, path + start, end - start))
        return 0;
    char parent[4096];
    if (start >= sizeof parent)
        return 0;
    if (start == 0) {
        parent[0] = '.';
        parent[1] = '\0';
    } else {
        memcpy(parent, path, start);
        parent[start] = '\0';
    }
    struct stat where, root;
    if (syscall(SYS_newfstatat, dirfd, parent, &where, 0) != 0 || syscall(SYS_newfstatat, AT_FDCWD, "/", &root, 0) != 0)
        return 0;
    return where.st_dev == root.st_dev && where.st_ino == root.st_ino;
}
