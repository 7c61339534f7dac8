#include "toolbox.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace toolbox {

namespace {

// Sizes in KiB of the partitions of the simulated phones. The sandbox is one folder of the PC, so real
// statfs() numbers would say nothing about the phone; these are what such phones reported.
struct Usage {
    const char *mountPoint;
    long long total;
    long long used;
    int blockSize;
};

const Usage legacyUsage[] = {
    {"/dev", 47084, 0, 4096},        {"/mnt/asec", 47084, 0, 4096}, {"/system", 148480, 140032, 4096},
    {"/data", 167424, 112240, 4096}, {"/cache", 97280, 1172, 4096}, {"/mnt/sdcard", 3864064, 1523904, 32768},
};

const Usage rootedUsage[] = {
    {"/dev", 203824, 0, 4096},
    {"/mnt/asec", 203824, 0, 4096},
    {"/system", 256000, 187352, 4096},
    {"/data", 151168, 103052, 4096},
    {"/cache", 40960, 1192, 4096},
    {"/sd-ext", 499656, 102880, 4096},
    {"/mnt/sdcard", 7331904, 3251936, 32768},
};

const Usage modernUsage[] = {
    {"/dev", 3855124, 1048, 4096},
    {"/system", 3021768, 3012412, 4096},
    {"/data", 115247628, 13383756, 4096},
    {"/storage/emulated", 115247628, 13383756, 4096},
};

struct Mount {
    std::string device;
    std::string point;
    Usage usage;
};

std::vector<Mount> readMounts()
{
    std::vector<Mount> mounts;
    const Usage *table = legacyUsage;
    size_t count = std::size(legacyUsage);
    if (currentStyle() == Style::Rooted) {
        table = rootedUsage;
        count = std::size(rootedUsage);
    } else if (currentStyle() == Style::Modern) {
        table = modernUsage;
        count = std::size(modernUsage);
    }
    FILE *f = std::fopen("/proc/mounts", "r");
    if (!f)
        return mounts;
    char device[256], point[256];
    while (std::fscanf(f, "%255s %255s %*[^\n]", device, point) == 2) {
        Mount m{device, point, {nullptr, 0, 0, 4096}};
        for (size_t i = 0; i < count; ++i) {
            if (m.point == table[i].mountPoint)
                m.usage = table[i];
        }
        mounts.push_back(m);
    }
    std::fclose(f);
    return mounts;
}

const Mount *mountOf(const std::vector<Mount> &mounts, const std::string &path)
{
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return nullptr;
    std::string p = resolved;
    const Mount *best = nullptr;
    for (const auto &m : mounts) {
        bool inside = m.point == "/" || p == m.point || p.rfind(m.point + "/", 0) == 0;
        if (inside && (!best || m.point.size() >= best->point.size()))
            best = &m;
    }
    return best;
}

// Android 2.2 toolbox: one line per path, "available" is what is free.
void toolboxLine(const std::string &label, const Usage &u)
{
    std::printf("%s: %lldK total, %lldK used, %lldK available (block size %d)\n", label.c_str(), u.total, u.used,
                u.total - u.used, u.blockSize);
}

void busyboxRow(const Mount &m)
{
    long long avail = m.usage.total - m.usage.used;
    unsigned percent = m.usage.total ? unsigned((m.usage.used * 100 + m.usage.total / 2) / m.usage.total) : 0;
    if (std::printf("%-20s", m.device.c_str()) > 20)
        std::printf("\n%-20s", "");
    std::printf(" %9lld %9lld %9lld %3u%% %s\n", m.usage.total, m.usage.used, avail, percent, m.point.c_str());
}

// toybox: columns as wide as their widest entry, Use% rounded up.
void toyboxTable(const std::vector<const Mount *> &rows)
{
    std::vector<std::vector<std::string>> table = {{"Filesystem", "1K-blocks", "Used", "Available", "Use%"}};
    for (const Mount *m : rows) {
        long long avail = m->usage.total - m->usage.used;
        long long percent = m->usage.total ? (m->usage.used * 100 + m->usage.total - 1) / m->usage.total : 0;
        table.push_back({m->device, std::to_string(m->usage.total), std::to_string(m->usage.used),
                         std::to_string(avail), std::to_string(percent) + "%"});
    }
    size_t width[5] = {};
    for (const auto &row : table) {
        for (size_t i = 0; i < 5; ++i)
            width[i] = std::max(width[i], row[i].size());
    }
    for (size_t r = 0; r < table.size(); ++r) {
        const auto &row = table[r];
        std::printf("%-*s %*s %*s %*s %*s %s\n", int(width[0]), row[0].c_str(), int(width[1]), row[1].c_str(),
                    int(width[2]), row[2].c_str(), int(width[3]), row[3].c_str(), int(width[4]), row[4].c_str(),
                    r == 0 ? "Mounted on" : rows[r - 1]->point.c_str());
    }
}

} // namespace

int dfMain(int argc, char **argv)
{
    auto mounts = readMounts();
    int rc = 0;
    if (currentStyle() == Style::Modern) {
        std::vector<const Mount *> rows;
        for (int i = 1; i < argc; ++i) {
            if (const Mount *m = mountOf(mounts, argv[i])) {
                rows.push_back(m);
            } else {
                std::fprintf(stderr, "df: %s: %s\n", argv[i], std::strerror(errno));
                rc = 1;
            }
        }
        if (argc < 2) {
            for (const auto &m : mounts) {
                if (m.usage.total)
                    rows.push_back(&m);
            }
        }
        if (!rows.empty() || argc < 2)
            toyboxTable(rows);
        return rc;
    }
    bool busybox = currentStyle() == Style::Rooted;
    if (busybox)
        std::printf("Filesystem           1K-blocks      Used Available Use%% Mounted on\n");
    if (argc < 2) {
        for (const auto &m : mounts) {
            if (m.usage.total == 0)
                continue;
            if (busybox)
                busyboxRow(m);
            else
                toolboxLine(m.point, m.usage);
        }
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const Mount *m = mountOf(mounts, argv[i]);
        if (!m) {
            if (busybox)
                std::fprintf(stderr, "df: %s: %s\n", argv[i], std::strerror(errno));
            else
                std::fprintf(stderr, "%s: %s\n", argv[i], std::strerror(errno));
            rc = 1;
            continue;
        }
        if (busybox)
            busyboxRow(*m);
        else
            toolboxLine(argv[i], m->usage);
    }
    return rc;
}

} // namespace toolbox
