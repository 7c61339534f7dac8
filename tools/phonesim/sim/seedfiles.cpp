#include "seedfiles.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <zip.h>

namespace phonesim {

namespace {

void putBE(std::string &s, size_t at, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        s[at + size_t(i)] = char(v & 0xff);
}

std::string varint(uint64_t v)
{
    // SQLite varints: big-endian groups of 7 bits; the values here stay far below the 9-byte form.
    std::string out;
    do {
        out.insert(out.begin(), char(v & 0x7f));
        v >>= 7;
    } while (v);
    for (size_t i = 0; i + 1 < out.size(); ++i)
        out[i] = char(out[i] | 0x80);
    return out;
}

// A record: header (its own size, then serial types) followed by the values. Strings only, NULL as
// std::nullopt-like empty marker "\x01NULL", small integers as "\x01INT:<n>".
std::string record(const std::vector<std::string> &values)
{
    std::string types, body;
    for (const auto &v : values) {
        if (v == "\x01NULL") {
            types += varint(0);
        } else if (v.rfind("\x01INT:", 0) == 0) {
            types += varint(1);
            body.push_back(char(std::atoi(v.c_str() + 5)));
        } else {
            types += varint(v.size() * 2 + 13);
            body += v;
        }
    }
    std::string header = varint(types.size() + 1) + types;
    return header + body;
}

// Builds one table b-tree leaf page holding the given (rowid, record) cells.
void leafPage(std::string &page, size_t headerAt, const std::vector<std::string> &records)
{
    const size_t pageSize = page.size();
    size_t contentStart = pageSize;
    std::vector<size_t> pointers;
    for (size_t i = 0; i < records.size(); ++i) {
        std::string cell = varint(records[i].size()) + varint(i + 1) + records[i];
        contentStart -= cell.size();
        page.replace(contentStart, cell.size(), cell);
        pointers.push_back(contentStart);
    }
    page[headerAt] = 0x0d;
    putBE(page, headerAt + 3, records.size(), 2);
    putBE(page, headerAt + 5, contentStart, 2);
    for (size_t i = 0; i < pointers.size(); ++i)
        putBE(page, headerAt + 8 + 2 * i, pointers[i], 2);
}

} // namespace

std::string sqliteDatabase(const std::vector<std::pair<std::string, std::string>> &contacts)
{
    const size_t pageSize = 4096;
    std::string page1(pageSize, '\0'), page2(pageSize, '\0');
    std::string header = "SQLite format 3";
    header.push_back('\0');
    page1.replace(0, header.size(), header);
    putBE(page1, 16, pageSize, 2);
    page1[18] = 1; // legacy file format (rollback journal)
    page1[19] = 1;
    page1[21] = 64; // payload fractions, fixed by the format
    page1[22] = 32;
    page1[23] = 32;
    putBE(page1, 24, 1, 4); // change counter
    putBE(page1, 28, 2, 4); // pages in the file
    putBE(page1, 40, 1, 4); // schema cookie
    putBE(page1, 44, 4, 4); // schema format
    putBE(page1, 56, 1, 4); // UTF-8
    putBE(page1, 92, 1, 4);
    putBE(page1, 96, 3040001, 4);

    std::string sql = "CREATE TABLE contacts(id INTEGER PRIMARY KEY, name TEXT, phone TEXT)";
    leafPage(page1, 100, {record({"table", "contacts", "contacts", "\x01INT:2", sql})});
    std::vector<std::string> rows;
    for (const auto &[name, phone] : contacts)
        rows.push_back(record({"\x01NULL", name, phone}));
    leafPage(page2, 0, rows);
    return page1 + page2;
}

std::string zipArchive(const std::vector<std::pair<std::string, std::string>> &members)
{
    char path[] = "/tmp/phonesim-zip-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return {};
    close(fd);
    int err = 0;
    zip_t *zip = zip_open(path, ZIP_TRUNCATE, &err);
    std::string out;
    if (zip) {
        for (const auto &[name, content] : members) {
            zip_source_t *src = zip_source_buffer(zip, content.data(), content.size(), 0);
            if (src && zip_file_add(zip, name.c_str(), src, ZIP_FL_ENC_UTF_8) < 0)
                zip_source_free(src);
        }
        if (zip_close(zip) == 0) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            out = ss.str();
        } else {
            zip_discard(zip);
        }
    }
    unlink(path);
    return out;
}

std::string waveTone(int frequency)
{
    const int rate = 8000;
    std::string data;
    for (int i = 0; i < rate; ++i) {
        auto sample = int16_t(8000 * std::sin(2 * M_PI * frequency * i / rate));
        data.push_back(char(sample & 0xff));
        data.push_back(char((sample >> 8) & 0xff));
    }
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i, v >>= 8)
            s.push_back(char(v & 0xff));
        return s;
    };
    return "RIFF" + le(uint32_t(36 + data.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) +
           le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(uint32_t(data.size()), 4) + data;
}

std::string silentMp3(const std::string &title, const std::string &artist, int frames)
{
    auto frame = [](const std::string &id, const std::string &text) {
        std::string body = std::string(1, '\3') + text; // UTF-8
        std::string f = id;
        f.resize(10, '\0');
        putBE(f, 4, body.size(), 4);
        return f + body;
    };
    std::string tags = frame("TIT2", title) + frame("TPE1", artist);
    std::string tag = "ID3";
    tag += std::string("\4\0\0", 3);
    // The tag size is a "synchsafe" integer: 7 bits per byte.
    size_t n = tags.size();
    tag.push_back(char((n >> 21) & 0x7f));
    tag.push_back(char((n >> 14) & 0x7f));
    tag.push_back(char((n >> 7) & 0x7f));
    tag.push_back(char(n & 0x7f));
    tag += tags;
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes; all-zero side info decodes as silence.
    std::string mpegFrame("\xff\xfb\x90\x64", 4);
    mpegFrame.resize(417, '\0');
    for (int i = 0; i < frames; ++i)
        tag += mpegFrame;
    return tag;
}

} // namespace phonesim
