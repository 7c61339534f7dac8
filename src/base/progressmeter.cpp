#include "base/progressmeter.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
// The speed follows the last few seconds, not the average since the start.
constexpr qint64 kWindowMsec = 3000;
// Below this a measure is mostly noise.
constexpr qint64 kMinSpanMsec = 500;
// Reports closer than this to the previous sample replace the newest one, so a flood of them
// keeps the list short.
constexpr qint64 kSampleGapMsec = 100;
} // namespace

void ProgressMeter::reset()
{
    m_last = {};
    m_samples.clear();
    m_first = {};
    m_finished = false;
}

void ProgressMeter::update(const TransferProgress &progress, qint64 msecNow)
{
    m_last = progress;
    const Sample sample{msecNow, progress.bytesDone, progress.rowsDone};
    if (m_samples.empty())
        m_first = sample;
    if (m_samples.size() >= 2 && msecNow - m_samples[m_samples.size() - 2].msec < kSampleGapMsec)
        m_samples.back() = sample;
    else
        m_samples.push_back(sample);
    while (m_samples.size() > 2 && m_samples[1].msec <= msecNow - kWindowMsec)
        m_samples.pop_front();
}

void ProgressMeter::finish()
{
    m_finished = true;
}

double ProgressMeter::fraction() const
{
    if (m_samples.empty())
        return -1;
    double done;
    if (m_last.bytesTotal > 0)
        done = double(m_last.bytesDone) / double(m_last.bytesTotal);
    else if (m_last.rowsTotal > 0)
        done = double(m_last.rowsDone) / double(m_last.rowsTotal);
    else
        return -1;
    return std::clamp(done, 0.0, 1.0);
}

ProgressMeter::Rate ProgressMeter::rate() const
{
    Rate rate;
    if (m_samples.empty())
        return rate;
    const Sample &from = m_finished ? m_first : m_samples.front();
    const Sample &to = m_samples.back();
    const qint64 span = to.msec - from.msec;
    if (span < kMinSpanMsec)
        return rate;
    // A count that went back (a file started over) gives no measure.
    if (to.bytes >= from.bytes)
        rate.bytes = double(to.bytes - from.bytes) * 1000.0 / double(span);
    if (to.rows >= from.rows)
        rate.rows = double(to.rows - from.rows) * 1000.0 / double(span);
    return rate;
}

bool ProgressMeter::countsBytes() const
{
    return m_last.bytesTotal > 0 || m_last.bytesDone > 0;
}

QString ProgressMeter::text() const
{
    if (m_samples.empty())
        return {};
    QStringList parts;
    if (m_last.rowsTotal > 0)
        parts << QStringLiteral("%1 of %2 items").arg(m_last.rowsDone).arg(m_last.rowsTotal);
    if (m_last.bytesTotal > 0)
        parts << formatSize(m_last.bytesDone) + QStringLiteral(" of ") + formatSize(m_last.bytesTotal);

    const Rate rate = this->rate();
    // A finished run that counted nothing (cancelled before any row ended) has no speed to tell.
    const double least = m_finished ? 1e-9 : 0;
    if (countsBytes()) {
        if (rate.bytes >= least)
            parts << formatSize(std::llround(rate.bytes)) + QStringLiteral("/s");
    } else if (m_last.rowsTotal > 0 || m_last.rowsDone > 0) {
        if (rate.rows >= least)
            parts << QString::number(rate.rows, 'f', 1) + QStringLiteral(" items/s");
    }

    if (!m_finished) {
        double remaining = 0;
        double perSecond = -1;
        if (m_last.bytesTotal > 0) {
            remaining = double(m_last.bytesTotal - m_last.bytesDone);
            perSecond = rate.bytes;
        } else if (m_last.rowsTotal > 0) {
            remaining = double(m_last.rowsTotal - m_last.rowsDone);
            perSecond = rate.rows;
        }
        if (remaining > 0 && perSecond > 0)
            parts << formatDuration(qint64(std::ceil(remaining / perSecond))) + QStringLiteral(" left");
    }
    return parts.join(QStringLiteral(" · "));
}

QString ProgressMeter::formatSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" B");
    static const char *const units[] = {"KB", "MB", "GB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    // Moves up once the value would round to 1024.0, which reads as the next unit.
    while (value >= 1023.95 && unit < 2) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1StringView(units[unit]);
}

QString ProgressMeter::formatDuration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600) {
        const qint64 minutes = seconds / 60;
        return seconds % 60 ? QStringLiteral("%1 min %2 s").arg(minutes).arg(seconds % 60)
                            : QStringLiteral("%1 min").arg(minutes);
    }
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds % 3600 / 60;
    return minutes ? QStringLiteral("%1 h %2 min").arg(hours).arg(minutes) : QStringLiteral("%1 h").arg(hours);
}
