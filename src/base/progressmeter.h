#pragma once

#include "base/operationlog.h"

#include <QString>

#include <deque>

// Turns a batch's progress reports into what the operation window shows: how full the bar is and
// one line of figures (counts, sizes, the current speed, the time left). Times come from the
// caller, so the arithmetic can be checked with chosen timestamps.
class ProgressMeter {
public:
    void reset();
    void update(const TransferProgress &progress, qint64 msecNow);
    // The operation has ended: the line keeps its figures, drops the time left, and its speed
    // becomes the average of the whole run.
    void finish();

    bool hasProgress() const { return !m_samples.empty(); }
    // 0..1 by bytes when their total is known, else by rows; -1 when neither total is known.
    double fraction() const;
    QString text() const;

    static QString formatSize(qint64 bytes);
    static QString formatDuration(qint64 seconds);

private:
    struct Sample {
        qint64 msec;
        qint64 bytes;
        int rows;
    };
    struct Rate {
        double bytes = -1; // a second; -1 while not measured
        double rows = -1;
    };
    Rate rate() const;
    bool countsBytes() const;

    TransferProgress m_last;
    // The newest sample older than the window stays at the front, so sparse reports still span it.
    std::deque<Sample> m_samples;
    Sample m_first{};
    bool m_finished = false;
};
