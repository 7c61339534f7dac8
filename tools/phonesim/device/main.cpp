#include "toolbox.h"

#include <cstdio>
#include <cstring>
#include <string>
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
    {"reboot", toolbox::controlMain},
    {"flash_image", toolbox::controlMain},
    {"getprop", toolbox::getpropMain},
    {"su", toolbox::suMain},
    {"unzip", toolbox::unzipMain},
    {"screencap", toolbox::screencapMain},
};

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
    return runToybox(argv);
}
