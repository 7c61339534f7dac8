// Checked rows pushed, copied on the phone, pulled and deleted in few adb commands, through the main window and
// the real adb: every row is logged against itself also when one fails, the user cancels or the phone goes away.
#include "bridge/adbutils.h"
#include "files/browserharness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <numeric>

namespace {

constexpr int kBigFiles = 6;
constexpr qsizetype kBigSize = 40 << 20;

// Each big file differs from the others and from a shifted copy of itself.
QByteArray bigContent(int k)
{
    QByteArray bytes(kBigSize, Qt::Uninitialized);
    QRandomGenerator random{quint32(k)};
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

QString bigName(int k)
{
    return QStringLiteral("big%1").arg(k);
}

} // namespace

class TestBatchMovesE2e : public BrowserHarness {
    Q_OBJECT

    // A stand-in adb that notes each command's first argument and count of arguments, then runs `branch`.
    void wrapAdb(const QByteArray &branch = {})
    {
        standInAdb("echo \"$1 $#\" >> '" + m_home->filePath(QStringLiteral("bin/calls")).toUtf8() + "'\n" + branch);
    }
    void makePhoneFolder(const QString &path)
    {
        phoneShell(QStringLiteral("mkdir ") + path);
        QVERIFY(QFileInfo(phone(path)).isDir());
    }
    // How many sources each adb pull or push had.
    QList<int> transfers(bool pull) const
    {
        QList<int> sources;
        for (const QByteArray &call : readAll(m_home->filePath(QStringLiteral("bin/calls"))).split('\n')) {
            if (call.startsWith(pull ? "pull " : "push "))
                sources << call.mid(5).toInt() - (pull ? 3 : 2); // pull -a <sources> <folder>
        }
        return sources;
    }
    // The hostile names as PC files, each holding its own name.
    QStringList pcFiles(const QString &folder)
    {
        QStringList paths;
        for (const QString &name : kHostile) {
            writeAll(folder + name, name.toUtf8() + '\n');
            paths << folder + name;
        }
        return paths;
    }
    // The hostile names chosen on the phone, `gone` removed once listed, and pulled, or chosen on the PC and
    // pushed into `folder`, which is not there yet; their paths.
    QStringList moveHostile(bool pull, const QString &folder, const QString &gone = {})
    {
        QStringList sources;
        if (pull) {
            for (const QString &name : showHostile(folder, gone))
                sources << folder + name;
            m_prompter->directories << m_pc;
        } else {
            sources = pcFiles(m_pc);
            m_prompter->openFiles << sources;
            m_prompter->dialogAnswers << pushTo(folder);
        }
        right().commandButton(pull ? DevicePane::Command::Pull : DevicePane::Command::Push)->click();
        return sources;
    }
    // Each row logged with adb's line about it and whole at its target, but `gone`, logged as a transfer of it
    // alone fails and leaves no target.
    void checkMoved(bool pull, const QStringList &sources, const QString &destination, const QString &gone = {})
    {
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(sources.size(), kHostile.size());
        QCOMPARE(rows.size(), sources.size());
        const QString verb = pull ? QStringLiteral("pull") : QStringLiteral("push");
        const QString header = pull ? QStringLiteral("Pulling file: ") : QStringLiteral("Pushing file: ");
        for (int i = 0; i < sources.size(); ++i) {
            const QString name = sources.at(i).section(u'/', -1);
            const QString target = pull ? destination + name : phone(destination + name);
            QCOMPARE(rows.at(i).at(0), QStringLiteral("[%1/%2] ").arg(i + 1).arg(sources.size()) + header + name);
            QCOMPARE(rows.at(i).at(2), QStringLiteral(" "));
            if (name == gone) {
                QCOMPARE(rows.at(i).at(1), m_sim->adb({verb, sources.at(i), pull ? target : destination}).all() +
                                               QStringLiteral("\nFailed"));
                QVERIFY(!QFileInfo::exists(target));
                continue;
            }
            QVERIFY2(rows.at(i).at(1).startsWith(sources.at(i) + QStringLiteral(": 1 file %1ed").arg(verb)),
                     qPrintable(rows.at(i).at(1)));
            QCOMPARE(readAll(target), name.toUtf8() + '\n');
        }
    }
    // Big files on the phone, checked in the right pane, or on the PC; their paths.
    QStringList makeBig(bool onPhone)
    {
        const QString folder = onPhone ? QStringLiteral("/sdcard/big/") : m_pc + QStringLiteral("big/");
        if (onPhone)
            makePhoneFolder(folder);
        QStringList paths;
        for (int k = 1; k <= kBigFiles; ++k) {
            writeAll(onPhone ? phone(folder + bigName(k)) : folder + bigName(k), bigContent(k));
            paths << folder + bigName(k);
        }
        if (onPhone && right().fillDeviceList(folder))
            right().model()->setChecks(QList<bool>(right().model()->rowCount(), true));
        return paths;
    }
    // A pull of the big files stopped on its way by the phone going away: its first rows logged as pulled and
    // whole on the PC, the rest failed without leaving a target behind.
    void checkStopped(const QStringList &paths)
    {
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), kBigFiles);
        int done = 0;
        while (done < kBigFiles && rows.at(done).at(1).startsWith(paths.at(done) + QStringLiteral(": 1 file pulled")))
            ++done;
        QVERIFY2(done >= 1 && done < kBigFiles, qPrintable(log().join(u'\n')));
        for (int k = 1; k <= kBigFiles; ++k) {
            const QString target = m_pc + bigName(k);
            if (k <= done) {
                QVERIFY(readAll(target) == bigContent(k));
                continue;
            }
            const QString &result = rows.at(k - 1).at(1);
            QVERIFY2(!result.isEmpty() && result != QStringLiteral("Cancelled") &&
                         !result.contains(QStringLiteral("file pulled")),
                     qPrintable(result));
            QVERIFY2(!QFileInfo::exists(target), qPrintable(target));
        }
        QVERIFY2(QDir(m_pc)
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .filter(QStringLiteral(".velbrook-"))
                     .isEmpty(),
                 qPrintable(m_pc));
        QCOMPARE(log().last(),
                 QStringLiteral("*** %1 of %2 done, %3 failed ***").arg(done).arg(kBigFiles).arg(kBigFiles - done));
    }
    // Runs `action` once the phone has moved `bytes` (half of the second big file), while `start` runs.
    void inSecondRow(const std::function<void()> &start, const std::function<void()> &action,
                     qint64 bytes = kBigSize + kBigSize / 2)
    {
        bool held = false;
        QVERIFY(m_sim->holdNextTransfer(bytes, [&] {
            held = true;
            action();
        }));
        start();
        QVERIFY2(held, "the batch ended before its second row");
    }

private slots:
    void cleanup() { stopAll(); }

    // A row that goes away after it was chosen fails against its own row: a PC file removed as the first push
    // starts (root reads a file of any mode, so it is removed rather than made unreadable), a phone file removed
    // after listing. A small limit splits the rows into several commands. adb pushes several files only into a
    // folder that is there: a new one is made first, and they go together.
    void hostileNames_data()
    {
        QTest::addColumn<bool>("pull");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("limit");
        for (const bool pull : {false, true}) {
            const char *verb = pull ? "pull" : "push";
            QTest::addRow("%s, legacy, one group", verb) << pull << QStringLiteral("legacy") << 0;
            QTest::addRow("%s, modern, one group", verb) << pull << QStringLiteral("modern") << 0;
            QTest::addRow("%s, modern, small groups", verb) << pull << QStringLiteral("modern") << (pull ? 110 : 200);
        }
    }
    void hostileNames()
    {
        QFETCH(bool, pull);
        QFETCH(QString, profile);
        QFETCH(int, limit);
        const QString gone = QStringLiteral("semi;colon");
        START_PHONE(profile, false, [&] {
            wrapAdb(pull ? QByteArray() : "[ \"$1\" = push ] && rm -f '" + (m_pc + gone).toUtf8() + "'\n");
        });
        const QString folder = pull ? QStringLiteral("/sdcard/p/") : QStringLiteral("/sdcard/new/deeper/");
        ops().setCommandLineLimit(limit);
        const QStringList sources = moveHostile(pull, folder, pull ? gone : QString());
        const QList<int> groups = transfers(pull);
        QCOMPARE(std::accumulate(groups.cbegin(), groups.cend(), 0), int(sources.size()));
        if (limit == 0)
            QCOMPARE(groups.size(), 1);
        else
            QVERIFY2(groups.size() > 1 && groups.size() < sources.size(), qPrintable(QString::number(groups.size())));
        checkMoved(pull, sources, pull ? m_pc : folder, gone);
        // Every row settled and counts as done, but the one that failed moved no bytes: the bar stops short.
        auto *bar = m_form->logForm()->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QVERIFY2(bar->value() > 0 && bar->value() < bar->maximum(), qPrintable(QString::number(bar->value())));
        const QString counts = m_form->logForm()->findChild<QLabel *>(QStringLiteral("ProgressText"))->text();
        QVERIFY2(counts.startsWith(QStringLiteral("%1 of %1 items").arg(sources.size())), qPrintable(counts));
        closeLog();
    }

    // A failure on the phone ends adb's sync session, so the rows after it were never tried: they go again
    // in a new group instead of being logged with adb's "couldn't read from device".
    void aPhoneFailureInTheMiddle_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::newRow("legacy") << QStringLiteral("legacy");
        QTest::newRow("modern") << QStringLiteral("modern");
    }
    void aPhoneFailureInTheMiddle()
    {
        QFETCH(QString, profile);
        const QString destination = QStringLiteral("/sdcard/p/");
        const QString blocked = QStringLiteral("$HOME");
        // A folder of the row's name where adb writes it, made as adb starts: the phone cannot open it for writing.
        // The row replaces a file, which stays as it was.
        const bool started = startPhone(profile, false, [&] {
            wrapAdb("if [ \"$1\" = push ]; then eval \"last=\\${$#}\"; '@ADB@' shell \"mkdir "
                    "\\\"$last\\\\\\$HOME\\\"\"; fi\n");
        });
        VERIFY_STARTED(started);
        makePhoneFolder(destination);
        writeAll(phone(destination + blocked), "old");
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        const QStringList paths = pcFiles(m_pc);
        m_prompter->openFiles << paths;
        m_prompter->dialogAnswers << pushTo(destination);
        right().commandButton(DevicePane::Command::Push)->click();
        QCOMPARE(readAll(phone(destination + blocked)), QByteArray("old"));
        const qsizetype at = kHostile.indexOf(blocked);
        QCOMPARE(transfers(false), (QList<int>{int(paths.size()), int(paths.size() - at - 1)}));
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), paths.size());
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QString result = rows.at(i).at(1);
            if (i == at) {
                QVERIFY2(result.contains(destination + blocked) && !result.contains(QStringLiteral("1 file pushed")),
                         qPrintable(result));
                continue;
            }
            QVERIFY2(result.startsWith(paths.at(i) + QStringLiteral(": 1 file pushed")), qPrintable(result));
            QCOMPARE(readAll(phone(destination + kHostile.at(i))), kHostile.at(i).toUtf8() + '\n');
        }
        closeLog();
    }

    // One shell command copies the rows (cat where the phone has no cp); sources gone after listing fail against their
    // own rows with the copier's complaint, make no target and leave one they were to replace as it was.
    void copyHostileNames_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("copier");
        QTest::newRow("legacy") << QStringLiteral("legacy") << QStringLiteral("cat: ");
        QTest::newRow("rooted") << QStringLiteral("rooted") << QStringLiteral("cp: ");
        // toybox's own cp.
        QTest::newRow("modern") << QStringLiteral("modern") << QStringLiteral("cp: ");
    }
    void copyHostileNames()
    {
        QFETCH(QString, profile);
        QFETCH(QString, copier);
        START_PHONE(profile);
        const QString from = QStringLiteral("/sdcard/from/");
        const QString to = QStringLiteral("/sdcard/to/");
        const QString replaced = QStringLiteral("back`tick");
        putOnPhone(to + replaced, "old");
        showLeftPhonePane();
        QVERIFY(left().fillDeviceList(to));
        const QStringList order = showHostile(from, replaced);
        QCOMPARE(order.size(), kHostile.size());
        const QString gone = QStringLiteral("$HOME");
        phoneShell(QStringLiteral("rm '") + from + gone + u'\'');
        m_sim->clearJournal();
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        m_prompter->dialogAnswers << accept();
        right().commandButton(DevicePane::Command::Copy)->click();
        // One command copies every row into the stage; the stage goes afterwards.
        const QStringList copies =
            m_sim->journal().filter(QRegularExpression(QStringLiteral("velbrook-row.*velbrook-row")));
        QCOMPARE(copies
                     .filter(m_sim->profile() == QStringLiteral("legacy") ? QStringLiteral("then cat")
                                                                          : QStringLiteral(" cp "))
                     .size(),
                 1);
        QVERIFY(
            QDir(phone(to)).entryList(QDir::AllEntries | QDir::Hidden).filter(QStringLiteral(".velbrook-")).isEmpty());
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), order.size());
        for (int i = 0; i < order.size(); ++i) {
            const QString &name = order.at(i);
            QCOMPARE(rows.at(i).at(0), QStringLiteral("[%1/%2] Copying file: ").arg(i + 1).arg(order.size()) + name);
            QCOMPARE(rows.at(i).at(2), QStringLiteral(" "));
            if (name == gone || name == replaced) {
                const QString complaint = rows.at(i).at(1);
                QVERIFY2(complaint.startsWith(copier) && complaint.contains(from + name) &&
                             complaint.contains(QStringLiteral("No such file")),
                         qPrintable(complaint));
                if (name == gone)
                    QVERIFY(!QFileInfo::exists(phone(to + name)));
                else
                    QCOMPARE(readAll(phone(to + name)), QByteArray("old"));
            } else {
                QCOMPARE(rows.at(i).at(1), QStringLiteral("Copy complete"));
                QCOMPARE(readAll(phone(to + name)), name.toUtf8() + '\n');
            }
        }
        closeLog();
    }

    // The phone unplugged in the middle of a group: nothing waits for it, the rows from the one on its way on
    // fail, and none of them leaves a file that looks whole.
    void unpluggedInTheMiddle()
    {
        START_PHONE(QStringLiteral("modern"));
        const QStringList paths = makeBig(true);
        QElapsedTimer clock;
        clock.start();
        inSecondRow(
            [&] {
                m_prompter->directories << m_pc;
                right().commandButton(DevicePane::Command::Pull)->click();
            },
            [&] { m_sim->stop(); });
        QVERIFY(clock.elapsed() < 30000);
        checkStopped(paths);
        // The rows that failed moved nothing: the bar stops short of its end.
        const auto *bar = m_form->logForm()->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QVERIFY(bar && bar->value() < bar->maximum());
        closeLog();
    }

    // Unplugged while replacing phone files: no row can be confirmed, so none counts as arrived, and every old
    // file is there as it was; the stage the new files went to is named, and removed once the phone is back.
    void unpluggedWhileReplacing()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString destination = QStringLiteral("/sdcard/in/");
        const QStringList paths = makeBig(false);
        makePhoneFolder(destination);
        auto old = [](int k) -> QByteArray { return QByteArray("old ") + QByteArray::number(k); };
        for (int k = 1; k <= kBigFiles; ++k)
            writeAll(phone(destination + bigName(k)), old(k));
        m_prompter->replaceAnswers << ReplaceAnswer::ReplaceAll;
        inSecondRow(
            [&] {
                m_prompter->openFiles << paths;
                m_prompter->dialogAnswers << pushTo(destination);
                right().commandButton(DevicePane::Command::Push)->click();
            },
            [&] { m_sim->stop(); });
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), kBigFiles);
        for (int k = 1; k <= kBigFiles; ++k) {
            QVERIFY2(rows.at(k - 1).at(1).endsWith(QStringLiteral("Failed")), qPrintable(rows.at(k - 1).at(1)));
            QCOMPARE(readAll(phone(destination + bigName(k))), old(k));
        }
        const QStringList stages =
            QDir(phone(destination)).entryList({QStringLiteral(".velbrook-*")}, QDir::Dirs | QDir::Hidden);
        QCOMPARE(stages.size(), 1);
        const QString stage = destination + stages.first() + u'/';
        QVERIFY2(log().contains(QStringLiteral("Unfinished copies stay in ") + stage +
                                QStringLiteral(" on the phone; they are removed when it answers again")),
                 qPrintable(log().join(u'\n')));
        closeLog();

        QVERIFY(m_sim->restart());
        ops().phoneIsBack();
        QVERIFY2(log().contains(QStringLiteral("Removed the unfinished copies left in ") + stage),
                 qPrintable(log().join(u'\n')));
        QVERIFY(!QFileInfo::exists(phone(stage)));
        for (int k = 1; k <= kBigFiles; ++k)
            QCOMPARE(readAll(phone(destination + bigName(k))), old(k));
        closeLog();
    }

    // The names of the rows of the last operation, from their first lines.
    QStringList loggedNames() const
    {
        QStringList names;
        for (const QStringList &row : loggedRows())
            names << row.at(0).section(QStringLiteral(": "), 1);
        return names;
    }

    // Many files replaced, with long non-ASCII names (one of 250 bytes) beside a file of the user's named as an
    // old copy once was, then Cancel half-way: every file is whole, new where its row says so, old elsewhere.
    void replaceManyThenCancel_data()
    {
        QTest::addColumn<bool>("pull");
        QTest::newRow("pull") << true;
        QTest::newRow("push") << false;
    }
    void replaceManyThenCancel()
    {
        QFETCH(bool, pull);
        START_PHONE(QStringLiteral("modern"));
        const QString onPhone = QStringLiteral("/sdcard/songs/");
        const QString onPc = m_pc + QStringLiteral("songs/");
        makePhoneFolder(onPhone);
        QDir().mkpath(onPc);
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names << QStringLiteral("%1 ").arg(i, 3, 10, QLatin1Char('0')) + QString(45, QChar(0x0430 + i % 32));
        names.last() = QString(125, QChar(0x0416));
        auto content = [](const QString &name, bool fresh) -> QByteArray {
            return (fresh ? "new " : "old ") + name.toUtf8() + QByteArray(700, 'x');
        };
        auto from = [&](const QString &name) { return pull ? phone(onPhone + name) : onPc + name; };
        auto to = [&](const QString &name) { return pull ? onPc + name : phone(onPhone + name); };
        for (const QString &name : names) {
            writeAll(from(name), content(name, true));
            writeAll(to(name), content(name, false));
        }
        const QString own = names.first() + QStringLiteral(".velbrook-old");
        writeAll(to(own), "the user's own");
        m_prompter->replaceAnswers << ReplaceAnswer::ReplaceAll;
        inSecondRow(
            [&] {
                if (pull) {
                    QVERIFY(right().fillDeviceList(onPhone));
                    right().model()->setChecks(QList<bool>(right().model()->rowCount(), true));
                    m_prompter->directories << onPc;
                    right().commandButton(DevicePane::Command::Pull)->click();
                    return;
                }
                QStringList paths;
                for (const QString &name : names)
                    paths << onPc + name;
                m_prompter->openFiles << paths;
                m_prompter->dialogAnswers << pushTo(onPhone);
                right().commandButton(DevicePane::Command::Push)->click();
            },
            [&] { m_form->logForm()->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click(); },
            150 * content(names.first(), true).size());
        const QList<QStringList> rows = loggedRows();
        const QStringList logged = loggedNames();
        QCOMPARE(rows.size(), names.size());
        int done = 0;
        int cancelled = 0;
        for (int i = 0; i < rows.size(); ++i) {
            const QString &name = logged.at(i);
            if (name == own)
                continue;
            // The row on its way when Cancel came may have failed instead.
            const QString &result = rows.at(i).at(1);
            const bool arrived = result != QStringLiteral("Cancelled") && !result.endsWith(QStringLiteral("Failed"));
            QVERIFY2(!arrived ||
                         result.contains(pull ? QStringLiteral(": 1 file pulled") : QStringLiteral(": 1 file pushed")),
                     qPrintable(result));
            QVERIFY2(readAll(to(name)) == content(name, arrived), qPrintable(name + u' ' + result));
            ++(arrived ? done : cancelled);
        }
        QVERIFY2(done >= 1 && cancelled >= 1,
                 qPrintable(QStringLiteral("%1 done, %2 cancelled").arg(done).arg(cancelled)));
        QCOMPARE(readAll(to(own)), QByteArray("the user's own"));
        QCOMPARE(
            QDir(QFileInfo(to(own)).path()).entryList({QStringLiteral(".velbrook-*")}, QDir::AllEntries | QDir::Hidden),
            QStringList());
        closeLog();
    }

    // A folder pulled or pushed onto one that is there merges into it; cancelled half-way, it leaves the folder
    // there exactly as it was.
    void folderOntoFolder_data()
    {
        QTest::addColumn<bool>("pull");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("pull") << true << false;
        QTest::newRow("pull cancelled") << true << true;
        QTest::newRow("push") << false << false;
        QTest::newRow("push cancelled") << false << true;
    }
    void folderOntoFolder()
    {
        QFETCH(bool, pull);
        QFETCH(bool, cancel);
        START_PHONE(QStringLiteral("legacy"));
        constexpr qsizetype size = 8 << 20;
        auto fresh = [](char c) { return QByteArray(size, c); };
        auto source = [&](const QString &name) {
            return pull ? phone(QStringLiteral("/sdcard/album/") + name) : m_pc + QStringLiteral("album/") + name;
        };
        auto target = [&](const QString &name) {
            return pull ? m_pc + QStringLiteral("album/") + name : phone(QStringLiteral("/sdcard/album/") + name);
        };
        if (!pull)
            makePhoneFolder(QStringLiteral("/sdcard/album/"));
        for (char c : {'a', 'b', 'c'})
            writeAll(source(QString(QLatin1Char(c))), fresh(c));
        writeAll(target(QStringLiteral("a")), "old a");
        writeAll(target(QStringLiteral("only-old")), "kept");
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        auto start = [&] {
            if (pull) {
                QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/")));
                check(right(), QStringLiteral("album/"));
                m_prompter->directories << m_pc;
                right().commandButton(DevicePane::Command::Pull)->click();
                return;
            }
            m_prompter->dialogAnswers << pushTo(QStringLiteral("/sdcard/"));
            ops().pushDroppedFiles({m_pc + QStringLiteral("album")});
        };
        if (cancel)
            inSecondRow(
                start, [&] { m_form->logForm()->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click(); },
                size + size / 2);
        else
            start();
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().at(1) == QStringLiteral("Cancelled"), cancel);
        QCOMPARE(readAll(target(QStringLiteral("only-old"))), QByteArray("kept"));
        QCOMPARE(readAll(target(QStringLiteral("a"))), cancel ? QByteArray("old a") : fresh('a'));
        QCOMPARE(QFileInfo::exists(target(QStringLiteral("c"))), !cancel);
        if (!cancel)
            QVERIFY(readAll(target(QStringLiteral("c"))) == fresh('c'));
        const QString parent = QFileInfo(target(QStringLiteral("a"))).path() + QStringLiteral("/..");
        QCOMPARE(QDir(parent).entryList({QStringLiteral(".velbrook-*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
        closeLog();
    }

    // A transfer cut short on its way is no arrival, whatever adb says: the row fails and the file it was to
    // replace stays.
    void cutShort_data()
    {
        QTest::addColumn<bool>("pull");
        QTest::newRow("push") << false;
        QTest::newRow("pull") << true;
    }
    void cutShort()
    {
        QFETCH(bool, pull);
        START_PHONE(QStringLiteral("modern"));
        const QString onPhone = QStringLiteral("/sdcard/t/");
        makePhoneFolder(onPhone);
        const QString from = pull ? phone(onPhone + QStringLiteral("t.bin")) : m_pc + QStringLiteral("t.bin");
        const QString to = pull ? m_pc + QStringLiteral("t.bin") : phone(onPhone + QStringLiteral("t.bin"));
        writeAll(to, "old");
        writeAll(from, QByteArray(7118, 't'));
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        if (pull) {
            QVERIFY(right().fillDeviceList(onPhone));
            check(right(), QStringLiteral("t.bin"));
            m_prompter->directories << m_pc;
            QVERIFY(m_sim->truncateNextPull(1000));
            right().commandButton(DevicePane::Command::Pull)->click();
        } else {
            m_prompter->openFiles << QStringList{from};
            m_prompter->dialogAnswers << pushTo(onPhone);
            QVERIFY(m_sim->truncateNextPush(1000));
            right().commandButton(DevicePane::Command::Push)->click();
        }
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows.first().at(1).endsWith(QStringLiteral("\nOnly 1000 of 7118 bytes arrived. Failed")),
                 qPrintable(rows.first().at(1)));
        QCOMPARE(readAll(to), QByteArray("old"));
        closeLog();
    }

    // The same folder under two names (/sdcard is a link): a file is not copied onto itself.
    void copyOntoItself()
    {
        START_PHONE(QStringLiteral("legacy"));
        makePhoneFolder(QStringLiteral("/sdcard/x/"));
        writeAll(phone(QStringLiteral("/sdcard/x/f.txt")), "mine");
        showLeftPhonePane();
        QVERIFY(left().fillDeviceList(QStringLiteral("/mnt/sdcard/x/")));
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/x/")));
        check(right(), QStringLiteral("f.txt"));
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        m_prompter->dialogAnswers << accept();
        right().commandButton(DevicePane::Command::Copy)->click();
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().at(1), QStringLiteral("/sdcard/x/f.txt and /mnt/sdcard/x/f.txt are the same file: a "
                                                    "file cannot be copied onto itself. Failed"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/x/f.txt"))), QByteArray("mine"));
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
};

QTEST_MAIN(TestBatchMovesE2e)
#include "tst_batch_moves_e2e.moc"
