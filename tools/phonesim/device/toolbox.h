#pragma once

// The phone-side helper. It is installed in the sandbox as /system/bin/toolbox and runs there, confined, as
// the phone's shell user: it supplies the commands whose output differs between Android generations (ls, df),
// serves adb's sync protocol and hands the commands that change the phone itself (pm, reboot, flash_image)
// to the simulator over the control socket.

#include <string>
#include <sys/types.h>

namespace toolbox {

enum class Style { Legacy, Rooted, Modern };

Style currentStyle();
bool onTerminal();

std::string userName(uid_t uid);
std::string groupName(gid_t gid);

int lsMain(int argc, char **argv);
int busyboxLs(int argc, char **argv);
int dfMain(int argc, char **argv);
int syncMain(int argc, char **argv);
int controlMain(int argc, char **argv);
int getpropMain(int argc, char **argv);
int suMain(int argc, char **argv);
int unzipMain(int argc, char **argv);
int screencapMain(int argc, char **argv);

} // namespace toolbox
