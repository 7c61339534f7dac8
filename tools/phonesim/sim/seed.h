#pragma once

// Sample content for a phone that a person or a test can look at at once: pictures, music, documents and
// awkward file names on the SD card, installed applications with labels, versions and icons, and a home
// screen in the framebuffer.

#include <string>

namespace phonesim {

class Phone;

bool seedPhone(Phone &phone, std::string &error);

// N more small user applications, org.example.app001 and on, each with its own label, version and icon.
bool seedApps(Phone &phone, int count, std::string &error);

// The framebuffer device (old phones) or screencap's display (current ones) always exists; without --seed
// it shows the same home screen.
void writeFramebuffer(const Phone &phone, bool overwrite);

} // namespace phonesim
