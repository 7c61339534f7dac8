/* Preloaded into the phone's dynamically linked programs (the shell, toybox) through /etc/ld.so.preload: what
 * SELinux denies the shell user on a real phone fails here with EACCES, so the real toybox prints what it
 * prints on the phone. Everything else goes on to the C library. */

#define _GNU_SOURCE
#include "../common/denied.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int denied(int dirfd, const char *path)
{
    if (!phonesimDeniedAt(dirfd, path))
        return 0;
    errno = EACCES;
    return 1;
}

static mode_t modeArgument(int flags, va_list ap)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}

int stat(const char *path, struct stat *st)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(stat)(path, st);
}

int stat64(const char *path, struct stat64 *st)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(stat64)(path, st);
}

int lstat(const char *path, struct stat *st)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(lstat)(path, st);
}

int lstat64(const char *path, struct stat64 *st)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(lstat64)(path, st);
}

int fstatat(int dirfd, const char *path, struct stat *st, int flags)
{
    return denied(dirfd, path) ? -1 : NEXT(fstatat)(dirfd, path, st, flags);
}

int fstatat64(int dirfd, const char *path, struct stat64 *st, int flags)
{
    return denied(dirfd, path) ? -1 : NEXT(fstatat64)(dirfd, path, st, flags);
}

int statx(int dirfd, const char *path, int flags, unsigned int mask, struct statx *st)
{
    return denied(dirfd, path) ? -1 : NEXT(statx)(dirfd, path, flags, mask, st);
}

int access(const char *path, int mode)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(access)(path, mode);
}

int faccessat(int dirfd, const char *path, int mode, int flags)
{
    return denied(dirfd, path) ? -1 : NEXT(faccessat)(dirfd, path, mode, flags);
}

ssize_t readlink(const char *path, char *buf, size_t size)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(readlink)(path, buf, size);
}

ssize_t readlinkat(int dirfd, const char *path, char *buf, size_t size)
{
    return denied(dirfd, path) ? -1 : NEXT(readlinkat)(dirfd, path, buf, size);
}

int chdir(const char *path)
{
    return denied(AT_FDCWD, path) ? -1 : NEXT(chdir)(path);
}

DIR *opendir(const char *path)
{
    return denied(AT_FDCWD, path) ? NULL : NEXT(opendir)(path);
}

FILE *fopen(const char *path, const char *mode)
{
    return denied(AT_FDCWD, path) ? NULL : NEXT(fopen)(path, mode);
}

FILE *fopen64(const char *path, const char *mode)
{
    return denied(AT_FDCWD, path) ? NULL : NEXT(fopen64)(path, mode);
}

int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    return denied(AT_FDCWD, path) ? -1 : NEXT(open)(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    return denied(AT_FDCWD, path) ? -1 : NEXT(open64)(path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    return denied(dirfd, path) ? -1 : NEXT(openat)(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = modeArgument(flags, ap);
    va_end(ap);
    return denied(dirfd, path) ? -1 : NEXT(openat64)(dirfd, path, flags, mode);
}
