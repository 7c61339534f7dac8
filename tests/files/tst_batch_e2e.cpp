// Checked rows run as few adb commands as possible while the operation log still reads row by row, through
// the main window and the real adb.
#include "files/browserharness.h"
#include "bridge/adbutils.h"

#include <QRegularExpression>

class TestBatchE2e : public BrowserHarness {
    Q_OBJECT

    void checkPulled(const QString &folder, const QStringList &order, const QString &gone)
    {
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), order.size());
        for (int i = 0; i < order.size(); ++i) {
            const QString &name = order.at(i);
            const QString source = folder + name;
            QCOMPARE(rows.at(i).at(0),
                     QStringLiteral("[%1/%2] Pulling file: %3").arg(i + 1).arg(order.size()).arg(name));
            QCOMPARE(rows.at(i).at(2), QStringLiteral(" "));
            if (name == gone) {
                // What a pull of that file alone says, and that it failed.
                QCOMPARE(rows.at(i).at(1),
                         m_sim->adb({QStringLiteral("pull"), source, m_pc + name}).all() + QStringLiteral("\nFailed"));
                QVERIFY(!QFileInfo::exists(m_pc + name));
            } else {
                QVERIFY2(rows.at(i).at(1).startsWith(source + QStringLiteral(": 1 file pulled")),
                         qPrintable(rows.at(i).at(1)));
                QCOMPARE(readAll(m_pc + name), name.toUtf8() + '\n');
            }
        }
    }

private slots:
    void cleanup() { stopAll(); }

    // One row missing on the phone fails against its own row; a small limit splits the rows into groups.
    void pullHostileNames_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("limit");
        QTest::newRow("legacy, one group") << QStringLiteral("legacy") << 0;
        QTest::newRow("modern, one group") << QStringLiteral("modern") << 0;
        QTest::newRow("modern, small groups") << QStringLiteral("modern") << 110;
    }
    void pullHostileNames()
    {
        QFETCH(QString, profile);
        QFETCH(int, limit);
        START_PHONE(profile);
        const QString folder = QStringLiteral("/sdcard/h/");
        const QString gone = QStringLiteral("it's");
        const QStringList order = showHostile(folder, gone);
        QCOMPARE(order.size(), kHostile.size());
        ops().setCommandLineLimit(limit);
        m_prompter->directories << m_pc;
        right().commandButton(DevicePane::Command::Pull)->click();
        checkPulled(folder, order, gone);
        closeLog();
    }

    // An adb client that reports the files of a pull of several otherwise: those rows run again one by one,
    // the missing one keeps its error.
    void pullFallsBackToSingleRows()
    {
        START_PHONE(QStringLiteral("modern"));
        standInAdb("if [ \"$1\" = pull ] && [ $# -gt 4 ]; then\n"
                   "  '@ADB@' \"$@\" 2>&1 | sed 's/^\\(.*\\): 1 file pulled.*$/[100%] \\1/'\n  exit 0\nfi\n");
        const QString folder = QStringLiteral("/sdcard/f/");
        const QString gone = QStringLiteral("semi;colon");
        const QStringList order = showHostile(folder, gone);
        m_prompter->directories << m_pc;
        right().commandButton(DevicePane::Command::Pull)->click();
        checkPulled(folder, order, gone);
        closeLog();
    }

    // One shell command removes the rows; a row already gone fails against itself, the rest are removed.
    void deleteHostileNames_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("limit");
        QTest::newRow("legacy, one group") << QStringLiteral("legacy") << 0;
        QTest::newRow("modern, one group") << QStringLiteral("modern") << 0;
        QTest::newRow("modern, small groups") << QStringLiteral("modern") << 120;
    }
    void deleteHostileNames()
    {
        QFETCH(QString, profile);
        QFETCH(int, limit);
        START_PHONE(profile);
        const QString folder = QStringLiteral("/sdcard/d/");
        const QString gone = QStringLiteral("$HOME");
        const QStringList order = showHostile(folder, gone);
        const QString complaint =
            m_sim->adb({QStringLiteral("shell"), QStringLiteral("rm ") + quoteDevicePath(folder + gone) + " 2>&1"})
                .all();
        // toybox's "rm: <path>: ..." or the old toolbox's "rm failed for <path>, ...", which stops there.
        QVERIFY2(complaint.startsWith(QStringLiteral("rm")) && complaint.contains(folder + gone),
                 qPrintable(complaint));
        ops().setCommandLineLimit(limit);
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        const QStringList lines = log();
        QStringList expected;
        for (int i = 0; i < order.size(); ++i) {
            expected << QStringLiteral("[%1/%2] Deleting file: %3").arg(i + 1).arg(order.size()).arg(order.at(i));
            if (order.at(i) == gone)
                expected << complaint << QStringLiteral("Failed");
            else
                expected << QStringLiteral("Complete");
            expected << QStringLiteral(" ");
        }
        const qsizetype at = lines.indexOf(QStringLiteral("Starting operation...")) + 2;
        QCOMPARE(lines.mid(at, expected.size()), expected);
        for (const QString &name : order)
            QVERIFY2(!QFileInfo::exists(phone(folder + name)), qPrintable(name));
        closeLog();
    }

    // A phone that refuses the grouped command as a whole: every row runs alone.
    void deleteFallsBackToSingleRows()
    {
        START_PHONE(QStringLiteral("modern"));
        standInAdb("case \"$2\" in *velbrook-row*) echo 'error: closed'; exit 1;; esac\n");
        const QString folder = QStringLiteral("/sdcard/fd/");
        const QStringList order = showHostile(folder);
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), order.size());
        for (const QStringList &row : rows)
            QCOMPARE(row.at(1), QStringLiteral("Complete"));
        for (const QString &name : order)
            QVERIFY2(!QFileInfo::exists(phone(folder + name)), qPrintable(name));
        closeLog();
    }

    // A file whose own name holds adb's count phrase fails when it is gone from the phone, and the PC file it
    // was to replace stays; what arrives is judged by the file on the PC, not by adb's words.
    void countPhraseInAName()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString folder = QStringLiteral("/sdcard/c/");
        const QString decoy = QStringLiteral("a: 1 file pulled, 0 skipped.");
        phoneShell(QStringLiteral("mkdir ") + folder + QStringLiteral(" && echo x > '") + folder + decoy +
                   QStringLiteral("' && echo fine > ") + folder + QStringLiteral("b.txt"));
        QVERIFY(right().fillDeviceList(folder));
        right().model()->setChecks(QList<bool>(right().model()->rowCount(), true));
        phoneShell(QStringLiteral("rm '") + folder + decoy + u'\'');
        writeAll(m_pc + decoy, "old");
        m_prompter->replaceAnswers << ReplaceAnswer::ReplaceAll;
        m_prompter->directories << m_pc;
        right().commandButton(DevicePane::Command::Pull)->click();
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows.at(0).at(1).endsWith(QStringLiteral("\nFailed")), qPrintable(rows.at(0).at(1)));
        QCOMPARE(readAll(m_pc + decoy), QByteArray("old"));
        QVERIFY(rows.at(1).at(1).startsWith(folder + QStringLiteral("b.txt: 1 file pulled")));
        QCOMPARE(readAll(m_pc + QStringLiteral("b.txt")), QByteArray("fine\n"));
        closeLog();
    }
};

QTEST_MAIN(TestBatchE2e)
#include "tst_batch_e2e.moc"
