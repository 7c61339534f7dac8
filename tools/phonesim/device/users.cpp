#include "toolbox.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <cstdlib>
#include <cstring>
#include <map>

namespace toolbox {

namespace {

// The helper is linked statically, so it reads the phone's account files itself instead of going through NSS.
std::map<unsigned, std::string> readIds(const char *path)
{
    std::map<unsigned, std::string> ids;
    FILE *f = std::fopen(path, "r");
    if (!f)
        return ids;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        char *name = std::strtok(line, ":\n");
        std::strtok(nullptr, ":\n");
        char *id = std::strtok(nullptr, ":\n");
        if (name && id)
            ids.emplace(unsigned(std::strtoul(id, nullptr, 10)), name);
    }
    std::fclose(f);
    return ids;
}

std::string lookup(const std::map<unsigned, std::string> &ids, unsigned id)
{
    auto it = ids.find(id);
    return it != ids.end() ? it->second : std::to_string(id);
}

} // namespace

std::string userName(uid_t uid)
{
    static const auto users = readIds("/etc/passwd");
    return lookup(users, uid);
}

std::string groupName(gid_t gid)
{
    static const auto groups = readIds("/etc/group");
    return lookup(groups, gid);
}

Style currentStyle()
{
    const char *p = std::getenv("PHONESIM_PROFILE");
    if (p && std::strcmp(p, "rooted") == 0)
        return Style::Rooted;
    if (p && std::strcmp(p, "modern") == 0)
        return Style::Modern;
    return Style::Legacy;
}

bool onTerminal()
{
    // Set to the inode of the session's terminal stream; output redirected elsewhere is no terminal.
    const char *t = std::getenv("PHONESIM_TTY");
    struct stat out {};
    return t && *t && fstat(1, &out) == 0 && std::to_string(out.st_ino) == t;
}

} // namespace toolbox
