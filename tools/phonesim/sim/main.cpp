// velbrook-phonesim: one simulated Android phone for the real adb client.

#include "journal.h"
#include "phone.h"
#include "profile.h"
#include "sandbox.h"
#include "seed.h"
#include "server.h"
#include "spawn.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile bool g_stop = false;

void onSignal(int)
{
    g_stop = true;
}

int usage(const char *why)
{
    if (why)
        std::fprintf(stderr, "velbrook-phonesim: %s\n", why);
    std::fprintf(stderr, "usage: velbrook-phonesim --root DIR --port N --profile legacy|rooted|modern [--seed]\n"
                         "                         [--apps N] [--journal FILE] [--verbose]\n"
                         "  --root DIR      folder that is the phone's file system (created if missing)\n"
                         "  --port N        TCP port on 127.0.0.1 for adb; 0 picks a free one\n"
                         "  --profile NAME  legacy: Android 2.2 without root or busybox\n"
                         "                  rooted: Android 2.3 with root, busybox and an ext partition\n"
                         "                  modern: Android 12 without root, toybox, current adb features\n"
                         "  --seed          put sample files and applications on the phone\n"
                         "  --apps N        install N more small applications (org.example.app001...)\n"
                         "  --journal FILE  append one line per request the phone received\n"
                         "Prints \"port=N\" and then \"ready\" on stdout once adb can connect.\n"
                         "Reads \"link device|offline|unauthorized\" lines on stdin and answers \"link=STATE\".\n");
    return 2;
}

std::string ownDirectory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string p(path, size_t(n));
    return p.substr(0, p.rfind('/'));
}

} // namespace

int main(int argc, char **argv)
{
    std::string root, profileName, journalPath;
    int port = -1;
    bool seed = false;
    int apps = 0;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--root") {
            const char *v = value();
            if (!v)
                return usage("--root needs a folder");
            root = v;
        } else if (a == "--port") {
            const char *v = value();
            if (!v)
                return usage("--port needs a number");
            port = std::atoi(v);
        } else if (a == "--profile") {
            const char *v = value();
            if (!v)
                return usage("--profile needs a name");
            profileName = v;
        } else if (a == "--journal") {
            const char *v = value();
            if (!v)
                return usage("--journal needs a file");
            journalPath = v;
        } else if (a == "--apps") {
            const char *v = value();
            if (!v || std::atoi(v) < 0)
                return usage("--apps needs a number");
            apps = std::atoi(v);
        } else if (a == "--seed") {
            seed = true;
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a == "--help" || a == "-h") {
            usage(nullptr);
            return 0;
        } else {
            return usage(("unknown argument " + a).c_str());
        }
    }
    if (root.empty() || port < 0 || port > 65535 || profileName.empty())
        return usage("--root, --port and --profile are required");
    const phonesim::Profile *profile = phonesim::findProfile(profileName);
    if (!profile)
        return usage(("unknown profile " + profileName).c_str());

    mkdir(root.c_str(), 0755);
    char resolved[PATH_MAX];
    if (!realpath(root.c_str(), resolved)) {
        std::fprintf(stderr, "velbrook-phonesim: %s: %s\n", root.c_str(), std::strerror(errno));
        return 1;
    }
    root = resolved;

    phonesim::Confinement confinement;
    std::string error;
    if (!phonesim::probeConfinement(confinement, error)) {
        std::fprintf(stderr, "velbrook-phonesim: %s\n", error.c_str());
        return 1;
    }
    if (confinement == phonesim::Confinement::UserNamespace)
        std::fprintf(stderr, "velbrook-phonesim: not root: using a user namespace; every file belongs to the "
                             "shell user, so folders such as /data are not protected\n");

    phonesim::Sandbox sandbox(root, *profile);
    if (!sandbox.prepare(ownDirectory() + "/phonesim-toolbox", error)) {
        std::fprintf(stderr, "velbrook-phonesim: %s\n", error.c_str());
        return 1;
    }
    phonesim::Journal journal(journalPath);
    phonesim::Phone phone(*profile, sandbox, journal);
    if (seed && !phonesim::seedPhone(phone, error)) {
        std::fprintf(stderr, "velbrook-phonesim: seeding failed: %s\n", error.c_str());
        return 1;
    }
    if (apps > 0 && !phonesim::seedApps(phone, apps, error)) {
        std::fprintf(stderr, "velbrook-phonesim: seeding failed: %s\n", error.c_str());
        return 1;
    }
    phonesim::writeFramebuffer(phone, false);
    phone.packages().readRecords();

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    phonesim::Server server(phone, verbose);
    server.setControlInput(STDIN_FILENO);
    if (!server.listen(port, error)) {
        std::fprintf(stderr, "velbrook-phonesim: %s\n", error.c_str());
        return 1;
    }
    std::printf("port=%d\nready profile=%s root=%s\n", server.port(), profile->name.c_str(), root.c_str());
    std::fflush(stdout);
    server.run(g_stop);
    return 0;
}
