#pragma once

// Real files of the kinds people keep on a phone, generated in memory.

#include <string>
#include <utility>
#include <vector>

namespace phonesim {

// A valid SQLite 3 database with one table "contacts" (id, name, phone) holding the rows given.
std::string sqliteDatabase(const std::vector<std::pair<std::string, std::string>> &contacts);

// A ZIP archive (deflated) with the given name/content members; empty on failure.
std::string zipArchive(const std::vector<std::pair<std::string, std::string>> &members);

// One second of a sine tone as a 8 kHz mono WAV file.
std::string waveTone(int frequency);

// An MP3 file: an ID3v2 tag with title and artist, then silent MPEG-1 Layer III frames.
std::string silentMp3(const std::string &title, const std::string &artist, int frames);

} // namespace phonesim
