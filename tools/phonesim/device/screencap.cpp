// Android's screencap: the display the simulator drew (common/wire.h screenFile) as raw rows behind the
// 16-byte header of Android 8 and later (12 bytes, no colour space, on the 2.3 phone), or as a PNG with -p
// or a FILENAME ending in ".png".

#include "toolbox.h"

#include "../common/wire.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <zlib.h>

namespace toolbox {

namespace {

void usage()
{
    if (currentStyle() != Style::Modern) {
        std::fprintf(stderr, "usage: screencap [-hp] [FILENAME]\n"
                             "   -h: this message\n"
                             "   -p: save the file as a png.\n"
                             "If FILENAME ends with .png it will be saved as a png.\n"
                             "If FILENAME is not given, the results will be printed to stdout.\n");
        return;
    }
    std::fprintf(stderr, "usage: screencap [-hp] [-d display-id] [FILENAME]\n"
                         "   -h: this message\n"
                         "   -p: save the file as a png.\n"
                         "   -d: specify the physical display ID to capture (default: 4619827259835644672)\n"
                         "If FILENAME ends with .png it will be saved as a png.\n"
                         "If FILENAME is not given, the results will be printed to stdout.\n");
}

bool readWhole(const char *path, std::string &out)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[64 * 1024];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fd);
    return n == 0;
}

void putChunk(std::string &png, const char *type, const std::string &data)
{
    std::string body = std::string(type, 4) + data;
    std::string length;
    phonesim::putU32(length, uint32_t(data.size()));
    // PNG's numbers are big-endian.
    png.append(length.rbegin(), length.rend());
    png += body;
    uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size())));
    std::string c;
    phonesim::putU32(c, crc);
    png.append(c.rbegin(), c.rend());
}

std::string bigEndian(uint32_t v)
{
    std::string le;
    phonesim::putU32(le, v);
    return std::string(le.rbegin(), le.rend());
}

// RGBA, 8 bits a channel, no filtering: what screencap's encoder writes, less its compression effort.
bool encodePng(uint32_t width, uint32_t height, const char *rgba, std::string &png)
{
    std::string rows;
    rows.reserve(size_t(height) * (size_t(width) * 4 + 1));
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back('\0');
        rows.append(rgba + size_t(y) * width * 4, size_t(width) * 4);
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize, reinterpret_cast<const Bytef *>(rows.data()),
                  uLong(rows.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    png = "\x89PNG\r\n\x1a\n";
    std::string header = bigEndian(width) + bigEndian(height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", "");
    return true;
}

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

int screencapMain(int argc, char **argv)
{
    bool png = false;
    int opt;
    const bool modern = currentStyle() == Style::Modern;
    while ((opt = getopt(argc, argv, modern ? "hpd:" : "hp")) != -1) {
        if (opt == 'p') {
            png = true;
        } else if (opt != 'd') {
            usage();
            return opt == 'h' ? 0 : 1;
        }
    }
    const char *fileName = optind < argc ? argv[optind] : nullptr;
    if (fileName) {
        size_t len = std::strlen(fileName);
        png = png || (len > 4 && std::strcmp(fileName + len - 4, ".png") == 0);
    }

    std::string raw;
    if (!readWhole(phonesim::screenFile, raw) || raw.size() < 16) {
        std::fprintf(stderr, "Failed to take screenshot. Status: -19\n");
        return 1;
    }
    // Gingerbread's header: width, height, format; the colour space came with Android 8.
    std::string out = modern ? raw : raw.substr(0, 12) + raw.substr(16);
    if (png) {
        uint32_t width = phonesim::getU32(raw.data()), height = phonesim::getU32(raw.data() + 4);
        if (raw.size() < 16 + size_t(width) * height * 4 || !encodePng(width, height, raw.data() + 16, out)) {
            std::fprintf(stderr, "Failed to encode the screenshot\n");
            return 1;
        }
    }

    int fd = 1;
    if (fileName) {
        fd = open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0664);
        if (fd < 0) {
            std::fprintf(stderr, "Error opening file: %s (%s)\n", fileName, std::strerror(errno));
            return 1;
        }
    }
    bool ok = writeAll(fd, out);
    if (fileName)
        ok = close(fd) == 0 && ok;
    return ok ? 0 : 1;
}

} // namespace toolbox
