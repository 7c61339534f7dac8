#include "toolbox.h"

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
    {"/dev", 47084, 0, 4096},           {"/mnt/asec", 47084, 0, 4096},     {"/system", 148480, 140032, 4096},
    {"/data", 167424, 112240, 4096},    {"/cache", 97280, 1172, 4096},     {"/mnt/sdcard", 3864064, 1523904, 32768},
};

const Usage rootedUsage[] = {
    {"/dev", 203824, 0, 4096},          {"/mnt/asec", 203824, 0, 4096},    {"/system", 256000, 187352, 4096},
    {"/data", 151168, 103052, 4096},    {"/cache", 40960, 1192, 4096},     {"/sd-ext", 499656, 102880, 4096},
    {"/mnt/sdcard", 7331904, 3251936, 32768},
};

struct Mount {
    std::string device;
    std::string point;
    Usage usage;
};

std::vector<Mount> readMounts()
{
    std::vector<Mount> mounts;
    const Usage *table = currentStyle() == Style::Rooted ? rootedUsage : legacyUsage;
    size_t count = currentStyle() == Style::Rooted ? std::size(rootedUsage) : std::size(legacyUsage);
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

} // namespace

int dfMain(int argc, char **argv)
{
    if (currentStyle() == Style::Modern)
        execv("/system/bin/toybox", argv);
    auto mounts = readMounts();
    int rc = 0;
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
