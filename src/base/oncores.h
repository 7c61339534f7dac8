#pragma once

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Runs `count` pieces of work on `threads` threads (one per core when 0), each thread taking the next piece.
// `makeWorker` is called once on every thread and returns what does one piece, `work(i)`: a thread's own state
// (an adb client runs one command at a time) lives in it. The caller only waits: nothing of its own runs meanwhile.
template <typename MakeWorker> void runOnCores(int count, int threads, MakeWorker makeWorker)
{
    if (count <= 0)
        return;
    const int wanted = threads > 0 ? threads : QThread::idealThreadCount();
    std::atomic<int> next = 0;
    auto body = [&] {
        auto work = makeWorker();
        for (int i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (int t = std::clamp(wanted, 1, count); t > 0; --t)
        pool.emplace_back(body);
    for (std::thread &thread : pool)
        thread.join();
}
