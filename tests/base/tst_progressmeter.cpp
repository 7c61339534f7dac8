#include "base/progressmeter.h"

#include <QTest>

namespace {
constexpr qint64 MiB = 1024 * 1024;

TransferProgress bytes(qint64 done, qint64 total, int rowsDone = 0, int rowsTotal = 0)
{
    return {rowsDone, rowsTotal, done, total};
}
} // namespace

class TestProgressMeter : public QObject {
    Q_OBJECT

private slots:
    void bytesLeadTheBarAndTheTimeLeft()
    {
        ProgressMeter meter;
        meter.update(bytes(0, 100 * MiB, 0, 4), 0);
        QCOMPARE(meter.fraction(), 0.0);
        // One report: no speed yet, so no time left either.
        QCOMPARE(meter.text(), QStringLiteral("0 of 4 items · 0 B of 100.0 MB"));

        // Too short a span to be a measure.
        meter.update(bytes(4 * MiB, 100 * MiB, 0, 4), 400);
        QVERIFY(!meter.text().contains(QStringLiteral("/s")));

        meter.update(bytes(40 * MiB, 100 * MiB, 1, 4), 4000);
        QCOMPARE(meter.fraction(), 0.4);
        QCOMPARE(meter.text(), QStringLiteral("1 of 4 items · 40.0 MB of 100.0 MB · 10.0 MB/s · 6 s left"));

        // Past full: the bar stops at the end, nothing is left.
        meter.update(bytes(101 * MiB, 100 * MiB, 4, 4), 8000);
        QCOMPARE(meter.fraction(), 1.0);
        QVERIFY(!meter.text().contains(QStringLiteral("left")));
    }

    void unknownTotals()
    {
        ProgressMeter meter;
        // Nothing to fill a bar with, but the speed is still worth showing.
        meter.update(bytes(0, 0), 0);
        meter.update(bytes(2 * MiB, 0), 1000);
        QCOMPARE(meter.fraction(), -1.0);
        QCOMPARE(meter.text(), QStringLiteral("2.0 MB/s"));

        // Bytes without a total: rows carry the bar and the time left.
        meter.reset();
        meter.update(bytes(0, 0, 0, 8), 0);
        meter.update(bytes(3 * MiB, 0, 2, 8), 1000);
        QCOMPARE(meter.fraction(), 0.25);
        QCOMPARE(meter.text(), QStringLiteral("2 of 8 items · 3.0 MB/s · 3 s left"));

        // A file that started over gives no speed rather than a negative one.
        meter.reset();
        meter.update(bytes(5 * MiB, 10 * MiB), 0);
        meter.update(bytes(MiB, 10 * MiB), 1000);
        QCOMPARE(meter.text(), QStringLiteral("1.0 MB of 10.0 MB"));
    }

    void finishKeepsTheFiguresWithoutTimeLeft()
    {
        ProgressMeter meter;
        meter.update(bytes(0, 40 * MiB, 0, 2), 0);
        meter.update(bytes(30 * MiB, 40 * MiB, 1, 2), 1000);
        meter.update(bytes(32 * MiB, 40 * MiB, 1, 2), 5000);
        QVERIFY(meter.text().endsWith(QStringLiteral("left")));
        meter.update(bytes(40 * MiB, 40 * MiB, 2, 2), 8000);
        meter.finish();
        // The speed of the whole run, not of its slow end.
        QCOMPARE(meter.text(), QStringLiteral("2 of 2 items · 40.0 MB of 40.0 MB · 5.0 MB/s"));
        QCOMPARE(meter.fraction(), 1.0);

        // Cancelled before anything was done: no speed of nothing.
        ProgressMeter cancelled;
        cancelled.update(bytes(0, 40 * MiB, 0, 2), 0);
        cancelled.update(bytes(0, 40 * MiB, 0, 2), 2000);
        cancelled.finish();
        QCOMPARE(cancelled.text(), QStringLiteral("0 of 2 items · 0 B of 40.0 MB"));
    }
};

QTEST_APPLESS_MAIN(TestProgressMeter)
#include "tst_progressmeter.moc"
