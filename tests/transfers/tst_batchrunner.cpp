// The batch engine with a made-up command: what the log says row by row, whatever the command reports and
// however it stops.
#include "common/recordinglog.h"
#include "common/testfiles.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "common/recordingrunner.h"
#include "transfers/batchrunner.h"
#include "transfers/staging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QTest>

namespace {

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

// A real capture of adb 30 or later refusing a push, from ../shared; empty where it is not there.
QString capture(const QString &name)
{
    return QString::fromUtf8(readAll(QStringLiteral(VB_SHARED_OUTPUTS "/") + name));
}

// A made-up command whose every step the test sets.
class FakeCommand final : public NamedLinesCommand {
public:
    qsizetype limit() const override { return m_limit; }
    qsizetype baseLength() const override { return 10; }
    qsizetype rowLength(const BatchRow &row) const override { return row.source.size() + 1; }
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override
    {
        return onRun(members, streaming);
    }
    bool confirms() const override { return bool(onConfirm); }
    void confirm(const QList<BatchRow *> &rows) override { onConfirm(rows); }
    bool runsAlone() const override { return bool(onAlone); }
    bool runAlone(BatchRow &row) override { return onAlone(row); }
    void undoPartial(const BatchRow &row) override { onUndo(row); }
    bool failureEndsGroup() const override { return false; }

    qsizetype m_limit = 50;
    std::function<QString(const QList<BatchRow *> &, const Streaming &)> onRun;
    std::function<void(const QList<BatchRow *> &)> onConfirm;
    std::function<bool(BatchRow &)> onAlone;
    std::function<void(const BatchRow &)> onUndo;
};

} // namespace

class TestBatchRunner : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingRunner> m_runner;
    std::unique_ptr<AdbClient> m_adb;
    RecordingLog m_log;
    std::unique_ptr<Operation> m_op;
    QList<QStringList> m_groups; // the sources of each command run
    QStringList m_alone;         // rows run alone

    // A command that reports each source as adb pull does, except those in `silent`.
    FakeCommand command(const QStringList &silent = {}, const std::function<void(int)> &afterRow = {})
    {
        FakeCommand c;
        c.onRun = [this, silent, afterRow](const QList<BatchRow *> &members, const Streaming &streaming) {
            QStringList sources;
            for (const BatchRow *row : members)
                sources << row->source;
            m_groups << sources;
            QString all;
            for (const BatchRow *row : members) {
                if (m_adb->isCancelled())
                    break;
                const QString line = silent.contains(row->source)
                                         ? QString()
                                         : row->source + QStringLiteral(": 1 file pulled, 0 skipped.\n");
                all += line;
                if (streaming.onOutput && !line.isEmpty())
                    streaming.onOutput(line);
                if (afterRow)
                    afterRow(row->k);
            }
            return all;
        };
        c.onAlone = [this](BatchRow &row) {
            m_alone << row.source;
            return m_op->finishRow(QStringLiteral("alone ") + row.source);
        };
        c.onUndo = [this](const BatchRow &row) { m_alone << QStringLiteral("undo ") + row.source; };
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
        m_adb = std::make_unique<AdbClient>(m_runner);
        m_op = std::make_unique<Operation>(nullptr, *m_adb, m_log, Operation::Refresh{});
        m_log = RecordingLog{};
        m_groups.clear();
        m_alone.clear();
    }

    // Rows split by the limit, a skipped row among them, a row the command said nothing of run alone in
    // its turn; the progress ends at every row and byte.
    void rowsLogInOrderWhateverTheGrouping()
    {
        QList<BatchRow> rows = makeRows(12);
        rows[2].step = RowStep::Skip;
        rows[2].target = QStringLiteral("/pc/f3");
        m_op->setTotals(12, 120);
        FakeCommand c = command({QStringLiteral("/s/f5")});
        QVERIFY(BatchRunner(*m_op).run(rows, 12, c));

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

    // Cancel while the third row is on its way: two rows done, the third's part undone, every later row
    // says it was cancelled and none counts as done.
    void cancelInTheMiddleOfAGroup()
    {
        QList<BatchRow> rows = makeRows(5);
        m_op->setTotals(5, 50);
        FakeCommand c = command({}, [this](int k) {
            if (k == 2)
                m_adb->cancelToken()->cancel();
        });
        const bool finished = BatchRunner(*m_op).run(rows, 5, c);
        QVERIFY(!finished);
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(1), rowLines(2, 5, QStringLiteral("/s/f2: 1 file pulled, 0 skipped.")));
        for (int k = 3; k <= 5; ++k)
            QCOMPARE(lines.at(k - 1), rowLines(k, 5, QStringLiteral("Cancelled")));
        QCOMPARE(m_alone, QStringList{QStringLiteral("undo /s/f3")});
        QCOMPARE(m_log.reports.last().rowsDone, 2);
        m_op->end();
        QCOMPARE(m_log.summary, QStringLiteral("2 of 5 done, 3 cancelled"));
        QCOMPARE(m_log.reports.last().rowsDone, 2);
    }

    // An error alone is settled when the command ends; a count is read only at the start of the line that names
    // the row, never inside a name, and a summary names no row. (An error and its count in either order: below.)
    void namedLinesSettleTheirRow()
    {
        QList<BatchRow> rows = makeRows(2);
        rows[1].source = QStringLiteral("/s/f1: 1 file pulled.txt");
        QList<BatchRow *> members{&rows[0], &rows[1]};
        const QString error =
            QStringLiteral("adb: error: failed to stat remote object '/s/f1: 1 file pulled.txt': gone");
        BatchRunner::readNamedLine(members, error);
        QVERIFY(rows.at(1).reported && !rows.at(1).result);
        QVERIFY(!rows.at(0).reported);
        BatchRunner::readNamedLine(members, QStringLiteral("3 files pulled, 0 skipped."));
        BatchRunner::settleNamed(members);
        QCOMPARE(rows.at(1).result, error);
        QVERIFY(!BatchRunner::isCountLine(*rows.at(1).result, rows.at(1).source));
        QVERIFY(!rows.at(0).result);
    }

    // What adb 30 and later print when the phone refuses a push (five real captures): whatever the order and
    // line ends, the refusal and the count are the row's, and a row that did not arrive shows the refusal.
    void refusedPushCaptures_data()
    {
        QTest::addColumn<QString>("file");
        for (int i = 1; i <= 5; ++i)
            QTest::newRow(qPrintable(QString::number(i))) << QStringLiteral("adb-current-push-refused-0%1.txt").arg(i);
    }
    void refusedPushCaptures()
    {
        QFETCH(QString, file);
        const QString text = capture(file);
        if (text.isEmpty())
            QSKIP("the captures of ../shared/real-outputs are not here");
        // The sources are the paths the count lines start with.
        QList<BatchRow> rows;
        for (const QString &line : splitLines(text)) {
            const qsizetype count = line.indexOf(QStringLiteral(": 1 file pushed"));
            if (count > 0 && !line.startsWith(QStringLiteral("adb: "))) {
                BatchRow row;
                row.k = int(rows.size()) + 1;
                row.source = line.left(count);
                rows << row;
            }
        }
        QVERIFY(!rows.isEmpty());
        QList<BatchRow *> members;
        for (BatchRow &row : rows)
            members << &row;
        for (const QString &line : splitLines(text))
            BatchRunner::readNamedLine(members, line);
        BatchRunner::settleNamed(members);
        int refused = 0;
        for (const BatchRow &row : rows) {
            QVERIFY(row.result);
            QVERIFY2(row.result->contains(row.source + QStringLiteral(": 1 file pushed")), qPrintable(*row.result));
            if (!row.result->contains(QStringLiteral("adb: error: failed to copy '") + row.source + u'\''))
                continue;
            ++refused;
            const QString shown = BatchRunner::failedResult(row, QStringLiteral("Failed"));
            QVERIFY2(shown.startsWith(QStringLiteral("adb: error: failed to copy")) &&
                         shown.endsWith(QStringLiteral("\nFailed")) && !shown.contains(QStringLiteral("file pushed")),
                     qPrintable(shown));
        }
        QCOMPARE(refused, file.endsWith(QStringLiteral("05.txt")) ? 2 : 1);
    }

    // A row that runs alone without an `alone` of its command goes as a group of one, and every line is its.
    void aRowAloneIsAGroupOfOne()
    {
        QList<BatchRow> rows = makeRows(2);
        rows[0].grouped = false;
        FakeCommand c = command();
        c.onAlone = nullptr;
        c.onRun = [this](const QList<BatchRow *> &members, const Streaming &) {
            m_groups << QStringList{members.first()->source};
            return members.size() == 1 && !members.first()->grouped
                       ? QStringLiteral("adb: error: failed to copy 'x/inner' to '/d/': remote denied\n"
                                        "/s/f1/: 2 files pulled, 0 skipped.\n")
                       : members.first()->source + QStringLiteral(": 1 file pulled, 0 skipped.\n");
        };
        c.onConfirm = [](const QList<BatchRow *> &members) {
            for (BatchRow *row : members)
                row->arrived = !row->result->contains(QLatin1String("error"));
        };
        QVERIFY(BatchRunner(*m_op).run(rows, 2, c));
        QCOMPARE(m_groups.size(), 2);
        const QList<QStringList> lines = logged();
        QCOMPARE(lines.at(0).at(1), QStringLiteral("adb: error: failed to copy 'x/inner' to '/d/': remote denied\n"
                                                   "/s/f1/: 2 files pulled, 0 skipped."));
        QVERIFY(!rows.at(0).arrived.value() && rows.at(1).arrived.value());
    }

    // On the PC what arrived goes in place: a file replaces the file or link there, a folder merges into the
    // folder there; a kind clash is named and leaves both; a name as long as the system takes works.
    void stagedRowsGoInPlaceOnThePc()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + u'/';
        const QString longName = QString(250, u'n');
        writeAll(root + longName, "old");
        writeAll(root + QStringLiteral("keep/only-old"), "kept");
        writeAll(root + QStringLiteral("keep/both"), "old");
        writeAll(root + QStringLiteral("keep/clash/x"), "old");
        auto stage = std::make_unique<PcStage>(root);
        QVERIFY(stage->isValid());
        QVERIFY(QFileInfo(stage->path()).fileName().isEmpty() && QDir(stage->path()).dirName().startsWith(u'.'));
        writeAll(stage->path() + longName, "new");
        writeAll(stage->path() + QStringLiteral("keep/both"), "new");
        writeAll(stage->path() + QStringLiteral("keep/only-new"), "new");
        writeAll(stage->path() + QStringLiteral("keep/clash"), "a file");
        QCOMPARE(PcStage::commit(stage->path() + longName, root + longName), QStringList());
        QCOMPARE(readAll(root + longName), QByteArray("new"));
        const QStringList problems =
            PcStage::commit(stage->path() + QStringLiteral("keep"), root + QStringLiteral("keep"));
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith(root + QStringLiteral("keep/clash")), qPrintable(problems.first()));
        QCOMPARE(readAll(root + QStringLiteral("keep/only-old")), QByteArray("kept"));
        QCOMPARE(readAll(root + QStringLiteral("keep/both")), QByteArray("new"));
        QCOMPARE(readAll(root + QStringLiteral("keep/only-new")), QByteArray("new"));
        QCOMPARE(readAll(root + QStringLiteral("keep/clash/x")), QByteArray("old"));
        // The stage goes with what is left in it.
        const QString stagePath = stage->path();
        stage.reset();
        QVERIFY(!QFileInfo::exists(stagePath));
    }

    // The shell texts on the phone: each row's own status and complaint, a row of several pieces failed when
    // any piece did, pieces within the limit in bytes (names of two bytes a letter count twice).
    void markedShellTexts()
    {
        const QStringList files{QStringLiteral("a"), QStringLiteral("dir/b"), QString(60, QChar(0x0416))};
        const QStringList pieces = PhoneStage::mergeCommands(
            QStringLiteral("/d/.velbrook-x/D"), QStringLiteral("/d/D/"), {QStringLiteral("dir")}, files, 600);
        QCOMPARE(pieces.size(), 2);
        for (const QString &piece : pieces) {
            QVERIFY2(byteLength(piece) <= 600, qPrintable(piece));
            QVERIFY(piece.startsWith(QStringLiteral("s=0; ")) && piece.endsWith(QStringLiteral("[ $s = 0 ]")));
        }
        QVERIFY(pieces.at(0).contains(QStringLiteral("[ -d \"/d/D/dir\" ] || mkdir \"/d/D/dir\"")));
        QVERIFY(pieces.at(0).contains(QStringLiteral("[ ! -d \"/d/D/a\" ] && mv \"/d/.velbrook-x/D/a\" \"/d/D/a\"")));

        m_runner->defaultAnswer = QStringLiteral("[velbrook-row:1:0]\r\nmv: denied\r\n[velbrook-row:1:1]\r\n"
                                                 "[velbrook-row:2:0]\r\n");
        const QHash<int, MarkedResult> results =
            runMarked(*m_adb, 4000, {{1, pieces.at(0)}, {1, pieces.at(1)}, {2, QStringLiteral("true")}});
        QCOMPARE(m_runner->commands.size(), 1);
        QVERIFY(m_runner->texts().first().startsWith(QStringLiteral("adb shell exec 2>&1; s=0; ")));
        QCOMPARE(results.value(1).status, 1);
        QCOMPARE(results.value(1).lines, QStringList{QStringLiteral("mv: denied")});
        QCOMPARE(results.value(2).status, 0);
        // The phone gone: no marker, no status.
        m_runner->defaultAnswer = QStringLiteral("adb: device offline\n");
        QVERIFY(!runMarked(*m_adb, 4000, {{3, QStringLiteral("true")}}).value(3).status);
    }
};
QTEST_GUILESS_MAIN(TestBatchRunner)
#include "tst_batchrunner.moc"
