// The batch engine with a made-up command: what the log says row by row, whatever the command reports and
// however it stops.
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "bridge/operation.h"
#include "common/recordingrunner.h"
#include "files/batchrunner.h"
#include "files/setaside.h"

#include <QFile>
#include <QTemporaryDir>

#include <QTest>

namespace {

class RecordingLog final : public OperationLog {
public:
    void BeginOperation(std::function<void()>) override {}
    void LogLine(const QString &text) override { lines << text; }
    void Progress(const TransferProgress &progress) override { reports << progress; }
    void EndOperation() override {}
    QWidget *questionParent() override { return nullptr; }
    QStringList lines;
    QList<TransferProgress> reports;
};

QList<BatchRow> makeRows(int n, qint64 size = 10)
{
    QList<BatchRow> rows;
    for (int k = 1; k <= n; ++k) {
        BatchRow row;
        row.k = k;
        row.header = QStringLiteral("Pulling file: f%1").arg(k);
        row.source = QStringLiteral("/s/f%1").arg(k);
        row.size = size;
        row.grouped = true;
        rows << row;
    }
    return rows;
}

QStringList rowLines(int k, int n, const QString &result)
{
    return {QStringLiteral("[%1/%2] Pulling file: f%1").arg(k).arg(n), result, QStringLiteral(" ")};
}

} // namespace

class TestBatchRunner : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingRunner> m_runner;
    std::unique_ptr<TADB> m_adb;
    RecordingLog m_log;
    std::unique_ptr<Operation> m_op;
    QList<QStringList> m_groups; // the sources of each command run
    QStringList m_alone;         // rows run alone
    bool m_sessionEnds = false;  // after a failure, every later row of the command fails as adb's does

    // A command that reports each source as adb pull does, except those in `silent`; one named "missing"
    // fails.
    GroupCommand command(const QStringList &silent = {}, const std::function<void(int)> &afterRow = {})
    {
        GroupCommand c;
        c.limit = 50;
        c.baseLength = 10;
        c.rowLength = [](const BatchRow &row) { return row.source.size() + 1; };
        c.run = [this, silent, afterRow](const QList<BatchRow *> &members, const Streaming &streaming) {
            QStringList sources;
            for (const BatchRow *row : members)
                sources << row->source;
            m_groups << sources;
            QString all;
            bool ended = false;
            for (const BatchRow *row : members) {
                if (m_adb->isCancelled())
                    break;
                const QString line =
                    ended ? QStringLiteral("adb: error: failed to copy '%1' to '/d/': couldn't read from device\n"
                                           "%1: 0 files pulled, 0 skipped.\n")
                                .arg(row->source)
                    : silent.contains(row->source) ? QString()
                    : row->source.endsWith(QLatin1String("missing"))
                        ? QStringLiteral("adb: error: failed to stat remote object '%1': No such "
                                         "file or directory\n")
                              .arg(row->source)
                        : row->source + QStringLiteral(": 1 file pulled, 0 skipped.\n");
                all += line;
                if (streaming.onOutput && !line.isEmpty())
                    streaming.onOutput(line);
                if (afterRow)
                    afterRow(row->k);
                ended = ended || (m_sessionEnds && row->source.endsWith(QLatin1String("missing")));
            }
            return all;
        };
        c.readLine = BatchRunner::readNamedLine;
        c.finish = BatchRunner::settleNamed;
        c.alone = [this](BatchRow &row) {
            m_alone << row.source;
            return m_op->finishRow(QStringLiteral("alone ") + row.source);
        };
        c.undoPartial = [this](const BatchRow &row) { m_alone << QStringLiteral("undo ") + row.source; };
        return c;
    }

    QList<QStringList> logged() const
    {
        QList<QStringList> rows;
        for (qsizetype at = 0; at + 2 < m_log.lines.size(); at += 3)
            rows << m_log.lines.mid(at, 3);
        return rows;
    }

private slots:
    void init()
    {
        m_runner = std::make_shared<RecordingRunner>();
        m_adb = std::make_unique<TADB>(m_runner);
        m_op = std::make_unique<Operation>(nullptr, *m_adb, m_log, Operation::Refresh{});
        m_log = RecordingLog{};
        m_groups.clear();
        m_alone.clear();
        m_sessionEnds = false;
    }

    // Rows split by the limit, a skipped row among them, a row the command said nothing of run alone in
    // its turn; the progress ends at every row and byte.
    void rowsLogInOrderWhateverTheGrouping()
    {
        QList<BatchRow> rows = makeRows(12);
        rows[2].step = RowStep::Skip;
        rows[2].target = QStringLiteral("/pc/f3");
        m_op->setTotals(12, 120);
        QVERIFY(BatchRunner(*m_op).run(rows, 12, command({QStringLiteral("/s/f5")})));

        // 10 and 6 or 7 a row: six rows fit in 50, five more in the next command.
        QCOMPARE(m_groups.size(), 2);
        QCOMPARE(m_groups.at(0).size() + m_groups.at(1).size(), 11);
        QVERIFY(!m_groups.at(0).contains(QStringLiteral("/s/f3")));
        // The row the command was silent about may have been on its way: its part goes before it runs again.
        QCOMPARE(m_alone, (QStringList{QStringLiteral("undo /s/f5"), QStringLiteral("/s/f5")}));
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.size(), 12);
        for (int k = 1; k <= 12; ++k) {
            const QString source = QStringLiteral("/s/f%1").arg(k);
            const QString result = k == 3   ? QStringLiteral("Skipped: /pc/f3 exists")
                                   : k == 5 ? QStringLiteral("alone ") + source
                                            : source + QStringLiteral(": 1 file pulled, 0 skipped.");
            QCOMPARE(lines.at(k - 1), rowLines(k, 12, result));
        }
        QCOMPARE(m_log.reports.last().rowsDone, 12);
        QCOMPARE(m_log.reports.last().bytesDone, 110); // the skipped row moved nothing
    }

    // A row that failed in its group or alone moves no bytes on the bar, though it counts as a row done.
    void failedRowsMoveNoBytes()
    {
        QList<BatchRow> rows = makeRows(4);
        rows[1].source = QStringLiteral("/s/missing");
        m_op->setTotals(4, 40);
        GroupCommand c = command({QStringLiteral("/s/f4")});
        c.moved = [](const QString &result) { return result.contains(QLatin1String("file pulled")); };
        QVERIFY(BatchRunner(*m_op).run(rows, 4, c));
        QCOMPARE(m_alone, (QStringList{QStringLiteral("undo /s/f4"), QStringLiteral("/s/f4")}));
        QCOMPARE(m_log.reports.last().rowsDone, 4);
        QCOMPARE(m_log.reports.last().bytesDone, 20);
        for (const TransferProgress &report : m_log.reports)
            QVERIFY(report.bytesDone <= 20);
    }

    // A failure that ends the command's session: the rows after it were never tried and go again as a new
    // group; the log never shows their first, false failure.
    void rowsAfterASessionEndingFailureGoAgain()
    {
        m_sessionEnds = true;
        QList<BatchRow> rows = makeRows(6);
        rows[2].source = QStringLiteral("/s/missing");
        GroupCommand c = command();
        c.limit = 1000;
        c.moved = [](const QString &result) { return result.contains(QLatin1String("1 file pulled")); };
        c.failureEndsGroup = true;
        QVERIFY(BatchRunner(*m_op).run(rows, 6, c));
        QCOMPARE(m_groups.size(), 2);
        QCOMPARE(m_groups.at(1), (QStringList{"/s/f4", "/s/f5", "/s/f6"}));
        QVERIFY(m_alone.isEmpty());
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines.at(2).at(1).startsWith(QStringLiteral("adb: error: failed to stat remote object '/s/missing'")));
        for (int k : {1, 2, 4, 5, 6})
            QCOMPARE(lines.at(k - 1).at(1), QStringLiteral("/s/f%1: 1 file pulled, 0 skipped.").arg(k));
    }

    // Cancel while the third row is on its way: two rows done, the third's part undone, every later row
    // says it was cancelled and none counts as done.
    void cancelInTheMiddleOfAGroup()
    {
        QList<BatchRow> rows = makeRows(5);
        m_op->setTotals(5, 50);
        const bool finished = BatchRunner(*m_op).run(rows, 5, command({}, [this](int k) {
                                                         if (k == 2)
                                                             m_adb->cancelToken()->cancel();
                                                     }));
        QVERIFY(!finished);
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(1), rowLines(2, 5, QStringLiteral("/s/f2: 1 file pulled, 0 skipped.")));
        for (int k = 3; k <= 5; ++k)
            QCOMPARE(lines.at(k - 1), rowLines(k, 5, QStringLiteral("Cancelled")));
        QCOMPARE(m_alone, QStringList{QStringLiteral("undo /s/f3")});
        QCOMPARE(m_log.reports.last().rowsDone, 2);
    }

    // Cancel in a replace question: the rows before it run, it and the rest do not, and no command names them.
    void aStoppedRowEndsTheBatch()
    {
        QList<BatchRow> rows = makeRows(4);
        rows[2].step = RowStep::Stop;
        QVERIFY(!BatchRunner(*m_op).run(rows, 4, command()));
        QCOMPARE(m_groups, (QList<QStringList>{{QStringLiteral("/s/f1"), QStringLiteral("/s/f2")}}));
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(2), rowLines(3, 4, QStringLiteral("Cancelled")));
        QCOMPARE(lines.at(3), rowLines(4, 4, QStringLiteral("Cancelled")));
    }

    // adb's error about a path and its count of it both belong to that row; an error alone is settled when
    // the next row is named or the command ends.
    void namedLinesSettleTheirRow()
    {
        QList<BatchRow> rows = makeRows(3);
        QList<BatchRow *> members{&rows[0], &rows[1], &rows[2]};
        BatchRunner::readNamedLine(members, QStringLiteral("adb: error: failed to copy '/s/f1' to '/d/': full"));
        QVERIFY(rows.at(0).reported && !rows.at(0).result);
        BatchRunner::readNamedLine(members, QStringLiteral("/s/f1: 0 files pushed, 0 skipped."));
        QCOMPARE(
            rows.at(0).result,
            QStringLiteral("adb: error: failed to copy '/s/f1' to '/d/': full\n/s/f1: 0 files pushed, 0 skipped."));
        BatchRunner::readNamedLine(members, QStringLiteral("adb: error: failed to stat remote object '/s/f2': gone"));
        BatchRunner::readNamedLine(members, QStringLiteral("3 files pulled, 0 skipped."));
        QVERIFY(!rows.at(1).result);
        BatchRunner::readNamedLine(members, QStringLiteral("/s/f3: 1 file pulled, 0 skipped."));
        QCOMPARE(rows.at(1).result, QStringLiteral("adb: error: failed to stat remote object '/s/f2': gone"));
        BatchRunner::settleNamed(members);
        QVERIFY(rows.at(2).result);
    }

    // The files a batch replaces on the PC: moved aside before it, then dropped where the new file
    // arrived and put back where it did not; a name already taken beside it keeps the old way.
    void replacedFilesOnThePc()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + u'/';
        auto write = [](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        auto read = [](const QString &path) -> QByteArray {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
        };
        QList<BatchRow> rows = makeRows(3);
        for (int i = 0; i < 3; ++i) {
            rows[i].target = root + QStringLiteral("f%1").arg(i + 1);
            rows[i].existed = true;
            write(rows[i].target, "old");
        }
        write(SetAside::asideName(rows[2].target), "someone else's");
        SetAside::onPc(rows);
        QVERIFY(rows[0].setAside && rows[1].setAside && !rows[2].setAside);
        QVERIFY(!rows[0].existed && rows[2].existed);
        QVERIFY(!QFile::exists(rows[0].target));
        write(rows[0].target, "new");
        rows[0].arrived = true;
        write(rows[1].target, "ha"); // a part, then Cancel
        QCOMPARE(SetAside::putBackOnPc(rows), QStringList{});
        QCOMPARE(read(rows[0].target), QByteArray("new"));
        QCOMPARE(read(rows[1].target), QByteArray("old"));
        QCOMPARE(read(rows[2].target), QByteArray("old"));
        QVERIFY(!QFile::exists(SetAside::asideName(rows[0].target)));
        QVERIFY(!QFile::exists(SetAside::asideName(rows[1].target)));
        QCOMPARE(read(SetAside::asideName(rows[2].target)), QByteArray("someone else's"));
    }

    // On the phone: one mv a row, as many in a shell as the limit allows, each row's own status read; none
    // for a folder, a new file or a name taken; afterwards rm where the row arrived, mv back where not, even
    // after a Cancel.
    void replacedFilesOnThePhone()
    {
        QList<BatchRow> rows = makeRows(5);
        for (BatchRow &row : rows) {
            row.target = QStringLiteral("/d/it's f%1").arg(row.k);
            row.existed = true;
        }
        rows[1].existed = false;
        rows[2].isDir = true;
        auto move = [](const BatchRow &row) -> QString {
            return QStringLiteral("mv ") + quoteDevicePath(row.target) + u' ' +
                   quoteDevicePath(SetAside::asideName(row.target)) + QStringLiteral(" 2>/dev/null; ") +
                   rowMarkerCommand(row.k);
        };
        const QString first = QStringLiteral("adb shell ") + move(rows[0]);
        const QString second = QStringLiteral("adb shell ") + move(rows[4]);
        m_runner->answers.insert(first, QStringLiteral("[velbrook-row:1:0]\r\n"));
        m_runner->answers.insert(second, QStringLiteral("mv failed\r\n[velbrook-row:5:1]\r\n"));
        SetAside::onPhone(*m_adb, move(rows[0]).size() + 10, rows, {QStringLiteral("it's f4.velbrook-old")});
        QCOMPARE(m_runner->texts(), (QStringList{first, second}));
        QCOMPARE(rows[0].setAside, true);
        QCOMPARE(rows[0].existed, false);
        for (int i = 1; i < 5; ++i)
            QVERIFY(!rows[i].setAside);

        m_runner->commands.clear();
        m_adb->cancelToken()->cancel();
        // The phone gone: nothing says the old file is back, so the caller learns where it is.
        const QString aside = SetAside::asideName(rows[0].target);
        const QString target = quoteDevicePath(rows[0].target);
        const QString back = QStringLiteral("adb shell [ ! -d ") + target + QStringLiteral(" ] && mv ") +
                             quoteDevicePath(aside) + u' ' + target + QStringLiteral(" 2>/dev/null; ") +
                             rowMarkerCommand(1);
        m_runner->answers.insert(back, QStringLiteral("error: device offline\n"));
        QCOMPARE(SetAside::putBackOnPhone(*m_adb, 4000, rows), QStringList{aside});
        QCOMPARE(m_runner->texts(), QStringList{back});
        m_runner->answers.insert(back, QStringLiteral("[velbrook-row:1:0]\r\n"));
        QCOMPARE(SetAside::putBackOnPhone(*m_adb, 4000, rows), QStringList{});
        m_runner->commands.clear();
        rows[0].arrived = true;
        QCOMPARE(SetAside::putBackOnPhone(*m_adb, 4000, rows), QStringList{});
        QCOMPARE(m_runner->texts(), QStringList{QStringLiteral("adb shell rm ") + quoteDevicePath(aside) +
                                                QStringLiteral(" 2>/dev/null; ") + rowMarkerCommand(1)});
    }
};

QTEST_MAIN(TestBatchRunner)
#include "tst_batchrunner.moc"
