#pragma once

// How "pm install" and "cmd package install" arguments split into options, an optional APK path and the
// size of an APK streamed on standard input ("-S <bytes>", used by adb for phones with the cmd feature).
// Shared by the phone-side tool, which streams the bytes, and the simulator, which receives them.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace phonesim {

struct InstallArgs {
    std::vector<std::string> options;
    std::string path;
    int64_t streamSize = -1; // -1: no -S
    bool valid = true;
};

// args start after the word "install".
inline InstallArgs parseInstallArgs(const std::vector<std::string> &args)
{
    InstallArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "-S") {
            if (i + 1 >= args.size()) {
                out.valid = false;
                break;
            }
            out.streamSize = std::strtoll(args[++i].c_str(), nullptr, 10);
        } else if (a == "-i" || a == "--user" || a == "--install-location" || a == "--originating-uri" ||
                   a == "--referrer" || a == "-p" || a == "--abi") {
            ++i; // options with a value that matters to nobody here
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            out.options.push_back(a);
        } else if (out.path.empty()) {
            out.path = a;
        }
    }
    if (out.path == "-")
        out.path.clear();
    return out;
}

inline bool hasOption(const InstallArgs &args, const std::string &option)
{
    for (const auto &o : args.options) {
        if (o == option)
            return true;
    }
    return false;
}

// The bytes a pm or cmd package call reads from standard input, or -1. words start after the program's name:
// "install -S n" without a path, "install-write -S n <session> <name> -" (adb's install-multiple).
inline int64_t streamedBytes(const std::string &program, const std::vector<std::string> &words)
{
    size_t first = program == "pm" ? 0 : program == "cmd" && !words.empty() && words[0] == "package" ? 1 : words.size();
    if (first >= words.size())
        return -1;
    std::vector<std::string> rest(words.begin() + long(first) + 1, words.end());
    if (words[first] == "install") {
        auto parsed = parseInstallArgs(rest);
        return parsed.path.empty() ? parsed.streamSize : -1;
    }
    if (words[first] == "install-write") {
        int64_t size = -1;
        std::vector<std::string> plain;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == "-S" && i + 1 < rest.size())
                size = std::strtoll(rest[++i].c_str(), nullptr, 10);
            else
                plain.push_back(rest[i]);
        }
        return plain.size() == 3 && plain[2] == "-" ? size : -1;
    }
    return -1;
}

} // namespace phonesim
