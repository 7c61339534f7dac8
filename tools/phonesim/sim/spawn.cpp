#include "spawn.h"

#include "phone.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace phonesim {

namespace {

Confinement g_mode = Confinement::Chroot;

bool writeProcFile(const char *path, const std::string &text)
{
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    return ok;
}

// In the child: after this, "/" is the sandbox. Only async-signal-safe-ish calls; the simulator is
// single-threaded, so the usual fork caveats about locks do not apply.
bool enterPhone(const Phone &phone, uid_t uid, gid_t gid, const std::vector<gid_t> &groups, std::string &what)
{
    const std::string &root = phone.root();
    if (g_mode == Confinement::UserNamespace) {
        uid_t outerUid = getuid();
        gid_t outerGid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) < 0) {
            what = "unshare(user, mount)";
            return false;
        }
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(outerUid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(outerGid) + " 1")) {
            what = "uid_map";
            return false;
        }
    } else if (unshare(CLONE_NEWNS) < 0) {
        what = "unshare(mount)";
        return false;
    }
    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    if (!phone.systemWritable()) {
        std::string system = root + "/system";
        if (mount(system.c_str(), system.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0)
            mount(nullptr, system.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    }
    // The PC's own device nodes, also where the sandbox lies on a file system mounted nodev or the
    // simulator could not create nodes.
    for (const char *dev : {"/dev/null", "/dev/zero", "/dev/urandom"})
        mount(dev, (root + dev).c_str(), nullptr, MS_BIND, nullptr);
    if (chroot(root.c_str()) < 0 || chdir("/") < 0) {
        what = "chroot";
        return false;
    }
    if (g_mode == Confinement::Chroot) {
        if (setgroups(groups.size(), groups.data()) < 0 || setgid(gid) < 0 || setuid(uid) < 0) {
            what = "setuid";
            return false;
        }
    }
    return true;
}

} // namespace

bool probeConfinement(Confinement &mode, std::string &error)
{
    if (geteuid() == 0) {
        g_mode = mode = Confinement::Chroot;
        return true;
    }
    pid_t pid = fork();
    if (pid == 0)
        _exit(unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 ? 0 : 1);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    if (pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        g_mode = mode = Confinement::UserNamespace;
        return true;
    }
    error = "cannot confine the phone's processes: not running as root, and unprivileged user namespaces are not "
            "available (kernel.unprivileged_userns_clone / user.max_user_namespaces). Run as root.";
    return false;
}

bool spawnInPhone(const Phone &phone, const SpawnRequest &request, ChildProcess &child, std::string &error)
{
    int in[2], out[2], err[2] = {-1, -1}, ctl[2];
    if (pipe2(in, O_CLOEXEC) < 0 || pipe2(out, O_CLOEXEC) < 0 ||
        (request.separateStderr && pipe2(err, O_CLOEXEC) < 0) ||
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ctl) < 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const Profile &profile = phone.profile();
    bool asRoot = profile.root || phone.bootMode() == "recovery";
    uid_t uid = asRoot ? 0 : profile.shellUid;
    gid_t gid = asRoot ? 0 : profile.shellGid;
    std::vector<gid_t> groups = asRoot ? std::vector<gid_t>{} : profile.shellGroups;

    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        setsid();
        signal(SIGPIPE, SIG_DFL);
        // Move the ends this child keeps out of the way before putting them in place.
        int keepIn = fcntl(in[0], F_DUPFD, 100);
        int keepOut = fcntl(out[1], F_DUPFD, 100);
        int keepErr = request.separateStderr ? fcntl(err[1], F_DUPFD, 100) : -1;
        int keepCtl = fcntl(ctl[1], F_DUPFD, 100);
        dup2(keepIn, 0);
        dup2(keepOut, 1);
        if (request.separateStderr)
            dup2(keepErr, 2);
        else if (!request.stderrToSimulator)
            dup2(keepOut, 2);
        dup2(keepCtl, childControlFd);
        close_range(3, childControlFd - 1, 0);
        close_range(childControlFd + 1, ~0U, 0);

        std::string what;
        if (!enterPhone(phone, uid, gid, groups, what)) {
            dprintf(2, "phonesim: cannot enter the phone (%s): %s\n", what.c_str(), std::strerror(errno));
            _exit(126);
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::vector<char *> argv, env;
        for (const auto &a : request.argv)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        // The phone's "terminal" is this output pipe: its inode tells a tool whether its own output still goes
        // there or into a pipe or file of the command line (ls prints columns only on the terminal).
        std::string ttyMark;
        struct stat outStat {};
        for (const auto &e : request.env) {
            if (e == std::string("PHONESIM_TTY") + "=1" && fstat(1, &outStat) == 0) {
                ttyMark = std::string("PHONESIM_TTY") + "=" + std::to_string(outStat.st_ino);
                env.push_back(const_cast<char *>(ttyMark.c_str()));
            } else {
                env.push_back(const_cast<char *>(e.c_str()));
            }
        }
        env.push_back(nullptr);
        execve(argv[0], argv.data(), env.data());
        dprintf(2, "phonesim: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (err[1] >= 0)
        close(err[1]);
    close(ctl[1]);
    child.pid = pid;
    child.stdinFd = in[1];
    child.stdoutFd = out[0];
    child.stderrFd = err[0];
    child.controlFd = ctl[0];
    for (int fd : {child.stdinFd, child.stdoutFd, child.stderrFd, child.controlFd}) {
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

void closeChildFds(ChildProcess &child)
{
    for (int *fd : {&child.stdinFd, &child.stdoutFd, &child.stderrFd, &child.controlFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void killChild(ChildProcess &child)
{
    closeChildFds(child);
    if (child.pid > 0) {
        kill(-child.pid, SIGKILL);
        kill(child.pid, SIGKILL);
        while (waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        child.pid = -1;
    }
}

} // namespace phonesim
