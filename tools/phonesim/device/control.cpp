#include "toolbox.h"

#include "../common/installargs.h"
#include "../common/wire.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace toolbox {

namespace {

std::string baseName(const char *path)
{
    std::string s = path;
    auto slash = s.rfind('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

bool sendMessage(int fd, const std::string &msg)
{
    return send(fd, msg.data(), msg.size(), MSG_NOSIGNAL) == ssize_t(msg.size());
}

bool streamStdin(int fd, int64_t size)
{
    std::string chunk(64 * 1024, '\0');
    while (size > 0) {
        ssize_t n = read(0, chunk.data(), size_t(std::min<int64_t>(size, int64_t(chunk.size()))));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (!sendMessage(fd, "D" + chunk.substr(0, size_t(n))))
            return false;
        size -= n;
    }
    return sendMessage(fd, "E");
}

} // namespace

int controlMain(int argc, char **argv)
{
    std::string name = baseName(argv[0]);
    const char *fdText = std::getenv(phonesim::controlFdEnv);
    if (!fdText) {
        std::fprintf(stderr, "%s: the phone's services are not running\n", name.c_str());
        return 1;
    }
    int fd = std::atoi(fdText);
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        std::strcpy(cwd, "/");
    std::vector<std::string> fields = {cwd, name};
    for (int i = 1; i < argc; ++i)
        fields.emplace_back(argv[i]);
    if (!sendMessage(fd, "R" + phonesim::joinFields(fields))) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), std::strerror(errno));
        return 1;
    }
    int64_t size = phonesim::streamedBytes(name, std::vector<std::string>(fields.begin() + 2, fields.end()));
    if (size >= 0 && !streamStdin(fd, size))
        return 1;

    std::string pieces;
    for (;;) {
        ssize_t len = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
        if (len < 0 && errno == EINTR)
            continue;
        if (len <= 0)
            return 1;
        std::string reply(size_t(len), '\0');
        if (recv(fd, reply.data(), reply.size(), 0) != len)
            return 1;
        // A long answer comes in pieces before the exit code. They are kept, not written: the simulator reads
        // this program's output only once it has sent the last piece.
        if (!reply.empty() && reply[0] == 'O') {
            pieces.append(reply, 1);
            continue;
        }
        if (reply.size() < 5 || reply[0] != 'X')
            continue;
        int code = int(phonesim::getU32(reply.data() + 1));
        std::fwrite(pieces.data(), 1, pieces.size(), stdout);
        std::fwrite(reply.data() + 5, 1, reply.size() - 5, stdout);
        return code;
    }
}

int getpropMain(int argc, char **argv)
{
    std::map<std::string, std::string> props;
    for (const char *file : {"/default.prop", "/system/build.prop"}) {
        FILE *f = std::fopen(file, "r");
        if (!f)
            continue;
        char line[1024];
        while (std::fgets(line, sizeof line, f)) {
            std::string l = line;
            while (!l.empty() && (l.back() == '\n' || l.back() == '\r'))
                l.pop_back();
            auto eq = l.find('=');
            if (l.empty() || l[0] == '#' || eq == std::string::npos)
                continue;
            props[l.substr(0, eq)] = l.substr(eq + 1);
        }
        std::fclose(f);
    }
    if (argc < 2) {
        for (const auto &[k, v] : props)
            std::printf("[%s]: [%s]\n", k.c_str(), v.c_str());
        return 0;
    }
    auto it = props.find(argv[1]);
    std::printf("%s\n", it != props.end() ? it->second.c_str() : argc > 2 ? argv[2] : "");
    return 0;
}

int suMain(int argc, char **argv)
{
    if (getuid() != 0) {
        std::fprintf(stderr, "su: permission denied\n");
        return 1;
    }
    std::vector<char *> args = {const_cast<char *>("sh")};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-c") == 0 || args.size() > 1)
            args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    execv("/system/bin/sh", args.data());
    std::perror("su");
    return 1;
}

} // namespace toolbox
