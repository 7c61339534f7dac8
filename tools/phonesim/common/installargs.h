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

} // namespace phonesim
