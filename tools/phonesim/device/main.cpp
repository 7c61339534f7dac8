#include "toolbox.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Applet = int (*)(int, char **);

struct Entry {
    const char *name;
    Applet main;
};

const Entry applets[] = {
    {"ls", toolbox::lsMain},
    {"df", toolbox::dfMain},
    {"adbd-sync", toolbox::syncMain},
    {"pm", toolbox::controlMain},
    {"cmd", toolbox::controlMain},
    {"dumpsys", toolbox::controlMain},
    {"reboot", toolbox::controlMain},
    {"flash_image", toolbox::controlMain},
    {"getprop", toolbox::getpropMain},
    {"su", toolbox::suMain},
    {"unzip", toolbox::unzipMain},
    {"screencap", toolbox::screencapMain},
};

int unlinkRecursive(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) < 0)
        return -1;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.c_str());
    DIR *dir = opendir(path.c_str());
    if (!dir)
        return -1;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (unlinkRecursive(path + "/" + name) < 0) {
            const int saved = errno;
            closedir(dir);
            errno = saved;
            return -1;
        }
    }
    closedir(dir);
    return rmdir(path.c_str());
}

// The Android 2.x toolbox rm: it stops at the first target it can not remove and says so in its own words.
int toolboxRm(int argc, char **argv)
{
    bool recursive = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        for (const char *option = argv[i] + 1; *option; ++option) {
            if (*option != 'r' && *option != 'R') {
                std::fprintf(stderr, "rm [-rR] <target>\n");
                return 255;
            }
            recursive = true;
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "rm [-rR] <target>\n");
        return 255;
    }
    for (; i < argc; ++i) {
        if ((recursive ? unlinkRecursive(argv[i]) : unlink(argv[i])) < 0) {
            std::fprintf(stderr, "rm failed for %s, %s\n", argv[i], std::strerror(errno));
            return 255;
        }
    }
    return 0;
}

// Everything the helper does not imitate itself is done by the real toybox, as on phones whose toolbox and
// toybox split the commands between them.
int runToybox(char **argv)
{
    execv("/system/bin/toybox", argv);
    std::fprintf(stderr, "%s: not found\n", argv[0]);
    return 127;
}

} // namespace

int main(int argc, char **argv)
{
    // On an old phone's terminal stdout is line-buffered, so error lines land between the rows they follow.
    if (toolbox::onTerminal())
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string name = argc > 0 ? argv[0] : "toolbox";
    if (auto slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name == "toolbox") {
        if (argc < 2) {
            std::printf("Toolbox!\n");
            return 0;
        }
        --argc;
        ++argv;
        name = argv[0];
    }
    for (const auto &a : applets) {
        if (name == a.name)
            return a.main(argc, argv);
    }
    if (name == "rm" && toolbox::currentStyle() != toolbox::Style::Modern)
        return toolboxRm(argc, argv);
    return runToybox(argv);
}
