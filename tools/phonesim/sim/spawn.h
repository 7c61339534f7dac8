#pragma once

// Starting a process on the phone: inside the sandbox as its "/", with /system read-only unless remounted,
// as the profile's shell user.

#include <string>
#include <sys/types.h>
#include <vector>

namespace phonesim {

class Phone;

enum class Confinement {
    Chroot,        // running as root: chroot plus a private mount namespace, real uid switch
    UserNamespace, // unprivileged: the same inside a user namespace; files keep the PC user's ownership
};

// Decides once how phone processes are confined; explains in error when neither way works here.
bool probeConfinement(Confinement &mode, std::string &error);

struct ChildProcess {
    pid_t pid = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1; // -1 when stderr shares stdout
    int controlFd = -1;
};

struct SpawnRequest {
    std::vector<std::string> argv; // argv[0]: the program's path on the phone
    std::vector<std::string> env;
    bool separateStderr = false;
    bool stderrToSimulator = false; // diagnostics of internal helpers go to the simulator's own stderr
};

constexpr int childControlFd = 99;

bool spawnInPhone(const Phone &phone, const SpawnRequest &request, ChildProcess &child, std::string &error);

// Kills the whole process group and collects the process.
void killChild(ChildProcess &child);
void closeChildFds(ChildProcess &child);

} // namespace phonesim
