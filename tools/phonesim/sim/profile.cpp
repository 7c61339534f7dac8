#include "profile.h"

namespace phonesim {

namespace {

// Groups of the shell user on the respective Android versions: graphics (1003) lets an old phone's shell
// read the framebuffer, sdcard_rw (1015) lets it write the SD card.
const std::vector<Profile> &profiles()
{
    // A table reads best one row a line.
    // clang-format off
    static const std::vector<Profile> all = {
        {ProfileKind::Legacy, "legacy", "passion", "Nexus One", "passion", "2.2", 8, "", false, true, false,
         false, 2000, 2000, {1003, 1004, 1007, 1009, 1011, 1015, 3001, 3002, 3003}, 480, 800, 4, 1, 0, 0, "app_"},
        {ProfileKind::Rooted, "rooted", "cyanogen_bravo", "HTC Desire", "bravo", "2.3.7", 10, "", true, true, true,
         true, 0, 0, {}, 480, 800, 4, 0, 480, 800, "app_"},
        {ProfileKind::Modern, "modern", "redfin", "Pixel 5", "redfin", "12", 31,
         "shell_v2,cmd,stat_v2,ls_v2,fixed_push_mkdir,fixed_push_symlink_timestamp", false, false, false, false,
         2000, 2000, {1004, 1007, 1011, 1015, 1028, 1078, 1079, 3001, 3002, 3003, 3006, 3009, 3011}, 0, 0, 0, 0, 540, 1170, "u0_a"},
    };
    // clang-format on
    return all;
}

} // namespace

bool Profile::hasFeature(std::string_view feature) const
{
    size_t start = 0;
    while (start <= features.size()) {
        size_t end = features.find(',', start);
        if (end == std::string::npos)
            end = features.size();
        if (std::string_view(features).substr(start, end - start) == feature)
            return true;
        start = end + 1;
    }
    return false;
}

const Profile *findProfile(std::string_view name)
{
    for (const auto &p : profiles()) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

} // namespace phonesim
