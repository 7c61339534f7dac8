#include "toolbox.h"

#include "../common/wire.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace toolbox {

using phonesim::getU32;
using phonesim::putU32;
using phonesim::putU64;

namespace {

constexpr size_t maxPath = 1024;
constexpr size_t maxData = 64 * 1024;

bool readFull(int fd, void *buf, size_t len)
{
    auto *p = static_cast<char *>(buf);
    while (len > 0) {
        ssize_t n = read(fd, p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        len -= size_t(n);
    }
    return true;
}

bool writeFull(int fd, const std::string &data)
{
    const char *p = data.data();
    size_t len = data.size();
    while (len > 0) {
        ssize_t n = write(fd, p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        len -= size_t(n);
    }
    return true;
}

// The phone's adbd decides the wording of failures: Android 2.x sent the bare strerror() text, current
// versions say what failed first.
bool modernAdbd()
{
    return currentStyle() == Style::Modern;
}

std::string failText(const char *what, int err)
{
    return modernAdbd() ? std::string(what) + ": " + std::strerror(err) : std::string(std::strerror(err));
}

bool sendFail(const std::string &message)
{
    std::string out = "FAIL";
    putU32(out, uint32_t(message.size()));
    out += message;
    return writeFull(1, out);
}

void journal(const std::string &line)
{
    const char *fdText = std::getenv(phonesim::controlFdEnv);
    if (!fdText)
        return;
    std::string msg = "J" + line;
    send(std::atoi(fdText), msg.data(), msg.size(), MSG_NOSIGNAL);
}

// Counts the file bytes the stream moves either way; once past the count a test asked for, it stops until
// the simulator answers (the test let it go on, or the stream went away).
void moved(size_t bytes)
{
    static long long holdAt = [] {
        const char *text = std::getenv(phonesim::holdTransferEnv);
        return text ? std::atoll(text) : -1LL;
    }();
    static long long total = 0;
    total += static_cast<long long>(bytes);
    if (holdAt < 0 || total < holdAt)
        return;
    holdAt = -1;
    const char *fdText = std::getenv(phonesim::controlFdEnv);
    if (!fdText)
        return;
    const int fd = std::atoi(fdText);
    if (send(fd, "H", 1, MSG_NOSIGNAL) != 1)
        return;
    char answer[16];
    while (recv(fd, answer, sizeof answer, 0) < 0 && errno == EINTR) {
    }
}

void putStatV2(std::string &out, int error, const struct stat &st)
{
    putU32(out, uint32_t(error));
    putU64(out, error ? 0 : uint64_t(st.st_dev));
    putU64(out, error ? 0 : uint64_t(st.st_ino));
    putU32(out, error ? 0 : uint32_t(st.st_mode));
    putU32(out, error ? 0 : uint32_t(st.st_nlink));
    putU32(out, error ? 0 : uint32_t(st.st_uid));
    putU32(out, error ? 0 : uint32_t(st.st_gid));
    putU64(out, error ? 0 : uint64_t(st.st_size));
    putU64(out, error ? 0 : uint64_t(st.st_atime));
    putU64(out, error ? 0 : uint64_t(st.st_mtime));
    putU64(out, error ? 0 : uint64_t(st.st_ctime));
}

bool doStat(const std::string &path)
{
    struct stat st;
    std::string out = "STAT";
    if (lstat(path.c_str(), &st) < 0) {
        out.append(12, '\0');
    } else {
        putU32(out, uint32_t(st.st_mode));
        putU32(out, uint32_t(st.st_size));
        putU32(out, uint32_t(st.st_mtime));
    }
    return writeFull(1, out);
}

bool doStatV2(uint32_t id, const std::string &path)
{
    struct stat st {};
    int rc = id == phonesim::fourcc("STA2") ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
    std::string out;
    putU32(out, id);
    putStatV2(out, rc < 0 ? errno : 0, st);
    return writeFull(1, out);
}

bool doList(const std::string &path, bool v2)
{
    std::string dir = path;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    if (DIR *d = opendir(path.c_str())) {
        while (dirent *de = readdir(d)) {
            struct stat st;
            std::string name = de->d_name;
            if (lstat((dir + name).c_str(), &st) < 0)
                continue;
            std::string out = v2 ? "DNT2" : "DENT";
            if (v2) {
                putStatV2(out, 0, st);
            } else {
                putU32(out, uint32_t(st.st_mode));
                putU32(out, uint32_t(st.st_size));
                putU32(out, uint32_t(st.st_mtime));
            }
            putU32(out, uint32_t(name.size()));
            out += name;
            if (!writeFull(1, out)) {
                closedir(d);
                return false;
            }
        }
        closedir(d);
    }
    std::string done = "DONE";
    done.append(v2 ? 72 : 16, '\0');
    return writeFull(1, done);
}

bool makeParents(const std::string &path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0775) < 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// Reads DATA chunks up to DONE; writes them to fd when it is valid. Returns false when the host broke the
// protocol; mtime receives the time stamp sent with DONE.
bool receiveChunks(int fd, std::string *collect, uint32_t &mtime, int &writeError)
{
    std::string buffer;
    for (;;) {
        char hdr[8];
        if (!readFull(0, hdr, 8))
            return false;
        uint32_t id = getU32(hdr);
        uint32_t len = getU32(hdr + 4);
        if (id == phonesim::fourcc("DONE")) {
            mtime = len;
            return true;
        }
        if (id != phonesim::fourcc("DATA") || len > maxData)
            return false;
        buffer.resize(len);
        if (!readFull(0, buffer.data(), len))
            return false;
        if (collect)
            collect->append(buffer);
        if (fd >= 0 && !writeError && !writeFull(fd, buffer))
            writeError = errno ? errno : EIO;
        moved(len);
    }
}

bool doSend(const std::string &spec)
{
    std::string path = spec;
    mode_t mode = 0644;
    if (auto comma = spec.rfind(','); comma != std::string::npos) {
        path = spec.substr(0, comma);
        mode = mode_t(std::strtoul(spec.c_str() + comma + 1, nullptr, 0));
    }
    journal("sync: SEND " + path);
    bool isLink = S_ISLNK(mode);
    mode &= 0777;
    if (!modernAdbd()) {
        // Old adbd widened the owner's rights to group and others.
        mode |= (mode >> 3) & 0070;
        mode |= (mode >> 3) & 0007;
        unlink(path.c_str());
    }

    uint32_t mtime = 0;
    int writeError = 0;
    if (isLink) {
        std::string target;
        if (!receiveChunks(-1, &target, mtime, writeError))
            return false;
        unlink(path.c_str());
        int rc = symlink(target.c_str(), path.c_str());
        if (rc < 0 && errno == ENOENT && makeParents(path))
            rc = symlink(target.c_str(), path.c_str());
        if (rc < 0) {
            sendFail(failText("symlink failed", errno));
            return false;
        }
        return writeFull(1, std::string("OKAY\0\0\0\0", 8));
    }

    int openError = 0;
    const char *openWhat = "couldn't create file";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == ENOENT) {
        if (!makeParents(path)) {
            openError = errno;
            openWhat = "secure_mkdirs failed";
        } else {
            fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        }
    }
    if (fd < 0 && !openError && errno == EEXIST)
        fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0 && !openError)
        openError = errno;

    bool ok = receiveChunks(fd, nullptr, mtime, writeError);
    if (fd >= 0)
        close(fd);
    if (!ok) {
        if (fd >= 0)
            unlink(path.c_str());
        return false;
    }
    if (openError || writeError) {
        if (fd >= 0)
            unlink(path.c_str());
        sendFail(openError ? failText(openWhat, openError) : failText("write failed", writeError));
        return false;
    }
    if (const char *cut = std::getenv(phonesim::truncatePushEnv)) {
        // Once per stream: the test asked for one push to arrive short, as over a flaky cable.
        struct stat st;
        const long long bytes = std::atoll(cut);
        if (stat(path.c_str(), &st) == 0 && st.st_size > bytes)
            truncate(path.c_str(), off_t(bytes));
        unsetenv(phonesim::truncatePushEnv);
    }
    struct timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    return writeFull(1, std::string("OKAY\0\0\0\0", 8));
}

bool doRecv(const std::string &path)
{
    journal("sync: RECV " + path);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        sendFail(failText("open failed", errno));
        return modernAdbd() ? false : true;
    }
    // Once per stream: the test asked for one pull to end early with DONE, as a file that shrinks while it is
    // read (or a storage layer that ends a read early) gives.
    long long left = -1;
    if (const char *cut = std::getenv(phonesim::truncatePullEnv)) {
        left = std::atoll(cut);
        unsetenv(phonesim::truncatePullEnv);
    }
    std::string chunk(maxData, '\0');
    for (;;) {
        const size_t want = left >= 0 ? std::min(chunk.size(), size_t(left)) : chunk.size();
        ssize_t n = want == 0 ? 0 : read(fd, chunk.data(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            sendFail(failText("read failed", err));
            return false;
        }
        if (n == 0)
            break;
        std::string out = "DATA";
        putU32(out, uint32_t(n));
        out.append(chunk.data(), size_t(n));
        if (!writeFull(1, out)) {
            close(fd);
            return false;
        }
        moved(size_t(n));
        if (left >= 0)
            left -= n;
    }
    close(fd);
    return writeFull(1, std::string("DONE\0\0\0\0", 8));
}

} // namespace

int syncMain(int, char **)
{
    umask(0);
    for (;;) {
        char hdr[8];
        if (!readFull(0, hdr, 8))
            return 0;
        uint32_t id = getU32(hdr);
        uint32_t len = getU32(hdr + 4);
        if (id == phonesim::fourcc("QUIT"))
            return 0;
        if (len > maxPath) {
            sendFail("path too long");
            return 1;
        }
        std::string path(len, '\0');
        if (!readFull(0, path.data(), len))
            return 1;
        bool ok;
        if (id == phonesim::fourcc("STAT"))
            ok = doStat(path);
        else if (id == phonesim::fourcc("STA2") || id == phonesim::fourcc("LST2"))
            ok = doStatV2(id, path);
        else if (id == phonesim::fourcc("LIST"))
            ok = doList(path, false);
        else if (id == phonesim::fourcc("LIS2"))
            ok = doList(path, true);
        else if (id == phonesim::fourcc("SEND"))
            ok = doSend(path);
        else if (id == phonesim::fourcc("RECV"))
            ok = doRecv(path);
        else {
            sendFail("unknown command");
            ok = false;
        }
        if (!ok)
            return 1;
    }
}

} // namespace toolbox
