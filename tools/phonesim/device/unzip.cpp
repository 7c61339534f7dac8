// Android 10+'s unzip (libziparchive's ziptool): "-l" and "-lv" listings in its own columns, "-p" writes
// members to stdout byte for byte. Reads the central directory itself; deflated members through zlib.

#include "toolbox.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace toolbox {

namespace {

struct Member {
    std::string name;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
};

uint16_t u16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t u32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool readAt(int fd, uint64_t offset, void *buf, size_t len)
{
    return pread(fd, buf, len, off_t(offset)) == ssize_t(len);
}

bool readDirectory(int fd, std::vector<Member> &members)
{
    struct stat st;
    if (fstat(fd, &st) < 0 || st.st_size < 22)
        return false;
    uint64_t tailSize = std::min<uint64_t>(uint64_t(st.st_size), 65535 + 22);
    std::vector<unsigned char> tail(tailSize);
    if (!readAt(fd, uint64_t(st.st_size) - tailSize, tail.data(), tailSize))
        return false;
    for (size_t i = tailSize - 22 + 1; i-- > 0;) {
        if (u32(&tail[i]) != 0x06054b50)
            continue;
        uint16_t count = u16(&tail[i + 10]);
        uint32_t dirSize = u32(&tail[i + 12]);
        uint32_t dirOffset = u32(&tail[i + 16]);
        std::vector<unsigned char> dir(dirSize);
        if (!readAt(fd, dirOffset, dir.data(), dirSize))
            return false;
        size_t p = 0;
        for (uint16_t n = 0; n < count; ++n) {
            if (p + 46 > dir.size() || u32(&dir[p]) != 0x02014b50)
                return false;
            Member m;
            m.method = u16(&dir[p + 10]);
            m.time = u16(&dir[p + 12]);
            m.date = u16(&dir[p + 14]);
            m.crc = u32(&dir[p + 16]);
            m.compressed = u32(&dir[p + 20]);
            m.size = u32(&dir[p + 24]);
            uint16_t nameLen = u16(&dir[p + 28]), extraLen = u16(&dir[p + 30]), commentLen = u16(&dir[p + 32]);
            m.localOffset = u32(&dir[p + 42]);
            if (p + 46 + nameLen > dir.size())
                return false;
            m.name.assign(reinterpret_cast<const char *>(&dir[p + 46]), nameLen);
            members.push_back(m);
            p += 46 + nameLen + extraLen + commentLen;
        }
        return true;
    }
    return false;
}

double ratio(uint64_t size, uint64_t compressed)
{
    return size == 0 ? 0.0 : 100.0 * (1.0 - double(compressed) / double(size));
}

void list(const char *archive, const std::vector<Member> &members, bool verbose)
{
    std::printf("Archive:  %s\n", archive);
    if (verbose)
        std::printf(" Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
                    "--------  ------  ------- ---- ---------- ----- --------  ----\n");
    else
        std::printf("  Length      Date    Time    Name\n"
                    "---------  ---------- -----   ----\n");
    uint64_t total = 0, totalCompressed = 0;
    for (const auto &m : members) {
        char when[32];
        std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d", 1980 + (m.date >> 9), (m.date >> 5) & 15,
                      m.date & 31, m.time >> 11, (m.time >> 5) & 63);
        if (verbose)
            std::printf("%8llu  %s %8llu %3.0f%% %s %08x  %s\n", static_cast<unsigned long long>(m.size),
                        m.method == 0 ? "Stored" : "Defl:N", static_cast<unsigned long long>(m.compressed),
                        ratio(m.size, m.compressed), when, m.crc, m.name.c_str());
        else
            std::printf("%9llu  %s   %s\n", static_cast<unsigned long long>(m.size), when, m.name.c_str());
        total += m.size;
        totalCompressed += m.compressed;
    }
    const char *plural = members.size() == 1 ? "" : "s";
    if (verbose)
        std::printf("--------          -------  ---                            -------\n"
                    "%8llu         %8llu %3.0f%%                            %zu file%s\n",
                    static_cast<unsigned long long>(total), static_cast<unsigned long long>(totalCompressed),
                    ratio(total, totalCompressed), members.size(), plural);
    else
        std::printf("---------                     -------\n"
                    "%9llu                     %zu file%s\n",
                    static_cast<unsigned long long>(total), members.size(), plural);
}

bool extract(int fd, const Member &m)
{
    unsigned char local[30];
    if (!readAt(fd, m.localOffset, local, sizeof local) || u32(local) != 0x04034b50)
        return false;
    uint64_t offset = m.localOffset + 30 + u16(&local[26]) + u16(&local[28]);
    std::vector<unsigned char> in(64 * 1024), out(64 * 1024);
    uint64_t left = m.compressed;
    if (m.method == 0) {
        while (left > 0) {
            size_t n = size_t(std::min<uint64_t>(left, in.size()));
            if (!readAt(fd, offset, in.data(), n) || std::fwrite(in.data(), 1, n, stdout) != n)
                return false;
            offset += n;
            left -= n;
        }
        return true;
    }
    if (m.method != 8)
        return false;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            size_t n = size_t(std::min<uint64_t>(left, in.size()));
            if (n == 0 || !readAt(fd, offset, in.data(), n))
                break;
            offset += n;
            left -= n;
            z.next_in = in.data();
            z.avail_in = unsigned(n);
        }
        z.next_out = out.data();
        z.avail_out = unsigned(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        size_t have = out.size() - z.avail_out;
        if (std::fwrite(out.data(), 1, have, stdout) != have)
            break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

int usage()
{
    std::fprintf(stderr, "usage: unzip [-lpv] ZIP [FILE...]\n"
                         "\n"
                         "Extract FILEs from ZIP archive. Default is all files.\n"
                         "\n"
                         "-l\tList contents (-lv: verbose listing)\n"
                         "-p\tPipe to stdout\n"
                         "-v\tVerbose listing\n");
    return 2;
}

} // namespace

int unzipMain(int argc, char **argv)
{
    bool listing = false, pipe = false, verbose = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1]; ++i) {
        for (const char *c = argv[i] + 1; *c; ++c) {
            if (*c == 'l')
                listing = true;
            else if (*c == 'p')
                pipe = true;
            else if (*c == 'v')
                verbose = true;
            else
                return usage();
        }
    }
    if (i >= argc || (!listing && !pipe && !verbose)) {
        // Extracting to the file system is not something the shell user does on this phone.
        if (i >= argc)
            return usage();
        std::fprintf(stderr, "unzip: only -l, -v and -p are available\n");
        return 1;
    }
    const char *archive = argv[i++];
    int fd = open(archive, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "unzip: couldn't open %s: %s\n", archive, std::strerror(errno));
        return 1;
    }
    std::vector<Member> members;
    if (!readDirectory(fd, members)) {
        std::fprintf(stderr, "unzip: couldn't open %s: Invalid file\n", archive);
        close(fd);
        return 1;
    }
    std::vector<Member> chosen;
    for (const auto &m : members) {
        bool wanted = i >= argc;
        for (int j = i; j < argc && !wanted; ++j)
            wanted = m.name == argv[j];
        if (wanted)
            chosen.push_back(m);
    }
    int rc = 0;
    if (listing || (verbose && !pipe)) {
        list(archive, chosen, verbose);
    } else {
        for (int j = i; j < argc; ++j) {
            bool found = false;
            for (const auto &m : chosen)
                found = found || m.name == argv[j];
            if (!found) {
                std::fprintf(stderr, "unzip: missing: %s\n", argv[j]);
                rc = 1;
            }
        }
        for (const auto &m : chosen) {
            if (!extract(fd, m)) {
                std::fprintf(stderr, "unzip: failed to extract %s\n", m.name.c_str());
                rc = 1;
            }
        }
    }
    std::fflush(stdout);
    close(fd);
    return rc;
}

} // namespace toolbox
