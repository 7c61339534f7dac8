// A small program the runner tests start as a child: it prints in ways that are easy to check.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const char *mode = argv[1];
    if (std::strcmp(mode, "args") == 0) {
        for (int i = 2; i < argc; ++i)
            std::printf("[%s]\n", argv[i]);
    } else if (std::strcmp(mode, "mixed") == 0) {
        // Alternates between the two streams, flushing each line so the order is fixed.
        for (int i = 0; i < 50; ++i) {
            FILE *stream = i % 2 == 0 ? stdout : stderr;
            std::fprintf(stream, "%s%d\n", i % 2 == 0 ? "out" : "err", i);
            std::fflush(stream);
        }
    } else if (std::strcmp(mode, "big") == 0) {
        const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
        for (int i = 0; i < count; ++i)
            std::printf("%07d;", i);
    } else if (std::strcmp(mode, "nul") == 0) {
        std::fwrite("ab\0cd\nef", 1, 8, stdout);
    } else if (std::strcmp(mode, "sleep") == 0) {
        std::printf("slept\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(argc > 2 ? std::atoi(argv[2]) : 500));
    } else if (std::strcmp(mode, "silent") == 0) {
        return 0;
    } else if (std::strcmp(mode, "utf8") == 0) {
        std::printf("Zdj\xc4\x99"
                    "cie \xc5\xbc\xc3\xb3\xc5\x82w\r\n");
    }
    return 0;
}
