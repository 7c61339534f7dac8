#pragma once

// The kinds of phone the simulator can be: what they announce, how their shell behaves and where they keep
// things. Everything that differs between profiles is decided here so the services stay generic.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace phonesim {

enum class ProfileKind { Legacy, Rooted, Modern };

struct Profile {
    ProfileKind kind;
    std::string name;
    std::string productName;
    std::string model;
    std::string device;
    std::string release;
    int sdk;
    std::string features; // advertised in the CNXN banner; empty for phones older than adb's features
    bool root;            // adbd and its shell run as root
    bool crlf;            // one-off shell commands ran on a terminal: LF becomes CR LF
    bool hasBusybox;
    bool hasFlashImage;
    uid_t shellUid;
    gid_t shellGid;
    std::vector<gid_t> shellGroups;
    int fbWidth; // 0: no framebuffer device
    int fbHeight;
    int fbBytesPerPixel; // 4: R, G, B, unused; 2: RGB565
    int fbShownBuffer;   // fb0 holds two frames one above the other; the one on show (sysfs "pan")
    int screenWidth;     // the display screencap shows; 0: no screencap (before Android 2.3)
    int screenHeight;
    std::string appUserPrefix; // "app_" on old phones, "u0_a" on current ones

    bool isModern() const { return kind == ProfileKind::Modern; }
    bool hasFeature(std::string_view feature) const;
};

const Profile *findProfile(std::string_view name);

} // namespace phonesim
