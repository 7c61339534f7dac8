// The applications manager through the main window against the simulated phones: what the list shows,
// what each command does to the phone and the PC, and what the log says.
#include "apps/apkarchive.h"
#include "appsui/appdialogs.h"
#include "apps/applisting.h"
#include "apps/catalogue.h"
#include "appsui/appoperations.h"
#include "appsui/appspane.h"
#include "appsui/approwdelegate.h"
#include "base/progressmeter.h"
#include "files/browserharness.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

QStringList names(const AppsPane &pane)
{
    QStringList result;
    for (const ListItem &row : pane.model()->rows())
        result << row.name;
    return result;
}

QString labelOf(const AppsPane &pane, const QString &name)
{
    for (const ListItem &row : pane.model()->rows()) {
        if (row.name == name)
            return row.label;
    }
    return QStringLiteral("<no row %1>").arg(name);
}

// An adb first on the PATH that writes each command's arguments to @RECORD@, one command a line. When held,
// a grouped pull reports its first file, and a grouped copy (cp, or cat where the phone has no cp) stops
// before each marker after the first; then @GO@.held is made and nothing more happens until @GO@ exists, on
// the PC for the pull, on the phone for the copy.
const char *const kRecordingAdb = R"sh(echo "$*" >> '@RECORD@'
if [ -n "@GO@" ]; then
  if [ "$1" = pull ] && [ $# -gt 3 ]; then
    '@ADB@' "$@" 2>&1 | { IFS= read -r l; echo "$l"; : > '@GO@.held'
                          while [ ! -e '@GO@' ]; do sleep 0.1; done; cat; }
    exit 0
  fi
  case "$2" in "exec 2>&1; cp "*|"exec 2>&1; if [ -r "*)
    exec '@ADB@' shell "$(printf '%s' "$2" |
      sed 's|; \(echo "\[velbrook-row:[1-9]\)|; : > @GO@.held; while [ ! -e @GO@ ]; do sleep 1; done; \1|g')";;
  esac
fi
)sh";

// adb's report of a pulled file without its speed and time, which differ from run to run.
QString steadyReport(const QString &line)
{
    static const QRegularExpression report(
        QStringLiteral("^(.*: 1 file pulled, 0 skipped\\.) .*\\((\\d+ bytes) in .*\\)$"));
    QString steady = line;
    return steady.replace(report, QStringLiteral("\\1 (\\2)"));
}

// What the last uninstall dialog said would go.
QString uninstallQuestion;

ScriptedPrompter::DialogAnswer uninstallKeeping(bool keep)
{
    return [keep](QDialog &dialog) {
        const auto *what = dialog.findChild<QLabel *>(QStringLiteral("UninstallWhat"));
        uninstallQuestion = what ? what->text() : QString();
        static_cast<UninstallDialog &>(dialog).setKeepData(keep);
        return int(QDialog::Accepted);
    };
}

} // namespace

class TestAppsE2e : public BrowserHarness {
    Q_OBJECT

    AppsPane &apps() { return *m_form->appsPane(); }
    AppOperations &appOps() { return *m_form->appOperations(); }
    void showApps() { m_form->findChild<QTabWidget *>(QStringLiteral("rightTabs"))->setCurrentIndex(1); }
    void checkRow(const QString &name)
    {
        const int row = int(names(apps()).indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name + QStringLiteral(" not listed: ") + names(apps()).join(u'|')));
        apps().model()->setData(apps().model()->index(row), Qt::Checked, Qt::CheckStateRole);
    }
    void makeRowCurrent(const QString &name)
    {
        const int row = int(names(apps()).indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name));
        makeCurrent(apps().list(), row);
    }
    // Opens the information window for a row as a double click does; the name it shows.
    QString openInfoOf(const QString &name)
    {
        makeRowCurrent(name);
        QString shown;
        m_prompter->dialogAnswers = {[&shown](QDialog &dialog) {
            shown = dialog.findChild<QLineEdit *>(QStringLiteral("eName"))->text();
            return int(QDialog::Accepted);
        }};
        emit apps().list()->doubleClicked(apps().list()->currentIndex());
        return shown;
    }
    QStringList tempFiles() const
    {
        // The log window keeps its last log there.
        QStringList files = QDir(appState().tempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        files.removeAll(QStringLiteral("LastLog.txt"));
        return files;
    }
    bool phoneHas(const QString &path) const { return QFileInfo::exists(m_sim->hostPath(path)); }
    QStringList journalWith(const QString &part) const { return m_sim->journal().filter(part); }

    // Every adb command the program runs from now on is recorded in the file returned; with a go file, grouped
    // pulls and copies are held after their first row (see kRecordingAdb).
    // A script is never rewritten while an adb may run it: each hold gets a folder of its own.
    QString recordAdb(const QString &go = {}, const QString &folder = QStringLiteral("bin"))
    {
        const QString record = m_home->filePath(QStringLiteral("adb-commands.txt"));
        QString script = QString::fromUtf8(kRecordingAdb);
        script.replace(QStringLiteral("@RECORD@"), record).replace(QStringLiteral("@GO@"), go);
        standInAdb(script.toUtf8(), folder);
        return record;
    }
    QStringList recorded(const QString &record, const QString &pattern)
    {
        const QStringList commands = QString::fromUtf8(readAll(record)).split(u'\n');
        QFile::remove(record);
        return commands.filter(QRegularExpression(pattern));
    }
    // The lines of the operation's rows, adb's pull reports without their speed.
    QStringList rowLines(qsizetype count)
    {
        const QStringList lines = log();
        QStringList rows = lines.mid(lines.indexOf(QStringLiteral("Starting operation...")) + 2, count);
        for (QString &line : rows)
            line = steadyReport(line);
        return rows;
    }
    // How far the bar came: "<rows> of <rows> items · <size> of <size>".
    QString progressFigures() const
    {
        const QString text = m_form->logForm()->findChild<QLabel *>(QStringLiteral("ProgressText"))->text();
        return text.section(QStringLiteral(" · "), 0, 1);
    }
    // Until the labels and icons the list lacked are read.
    void waitForInfo() { QTRY_VERIFY_WITH_TIMEOUT(!apps().isReadingInfo(), 60000); }
    const ListItem &rowNamed(const QString &name) { return apps().model()->item(int(names(apps()).indexOf(name))); }
    // The applications list with its labels; on the old phone the internal memory, where most packages are.
    void showAppsWithInfo()
    {
        showApps();
        waitForInfo();
        if (m_sim->profile() == QStringLiteral("legacy")) {
            apps().sourceTabs()->setCurrentIndex(1);
            waitForInfo();
        }
    }
    // Checks the listed rows of the packages named.
    void uncheckAll() { apps().model()->setChecks(QList<bool>(apps().model()->rowCount(), false)); }
    QList<ListItem> checkPackages(const QStringList &packages)
    {
        uncheckAll();
        QList<ListItem> rows;
        for (const ListItem &row : apps().model()->rows()) {
            if (packages.contains(packageOfAppName(row.name))) {
                checkRow(row.name);
                rows << row;
            }
        }
        return rows;
    }
    QByteArray onPhone(const QString &path) const { return readAll(m_sim->hostPath(path)); }
    // The line that closes the last operation's log.
    QString summary() const
    {
        const QStringList lines = log().filter(QRegularExpression(QStringLiteral("^\\*\\*\\* ")));
        return lines.isEmpty() ? QString() : lines.last();
    }
    // The APK of an installed package, as the phone keeps it.
    QByteArray apkOf(const ListItem &row) { return onPhone(apps().loader().deviceParts(row).first()); }

private slots:
    void init() { m_form.reset(); }
    void cleanup() { stopAll(); }

    // Checked packages are backed up in as few adb commands as the phone allows, to the PC and to the other
    // phone pane, and logged row by row as if each ran alone; a package whose file went away after listing
    // fails in its own row, and a short command line only makes more groups.
    void groupedBackups_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("limit");
        QTest::newRow("legacy, one group") << QStringLiteral("legacy") << 0;
        QTest::newRow("legacy, small groups") << QStringLiteral("legacy") << 200;
        QTest::newRow("rooted") << QStringLiteral("rooted") << 0;
        QTest::newRow("modern") << QStringLiteral("modern") << 0;
    }
    void groupedBackups()
    {
        QFETCH(QString, profile);
        QFETCH(int, limit);
        START_PHONE(profile, true);
        showAppsWithInfo();
        const QList<ListItem> rows =
            checkPackages({"com.example.weather", "com.example.notes", "net.example.flashlight",
                           "com.example.spacegame", "com.example.maps"});
        const int n = int(rows.size());
        QVERIFY2(n >= 3, qPrintable(names(apps()).join(u'|')));
        QList<QStringList> parts;
        qint64 total = 0;
        for (const ListItem &row : rows) {
            parts << apps().loader().deviceParts(row);
            total += row.sizeText.toLongLong();
        }
        // The first single APK after the first row goes away behind the list's back.
        int gone = 1;
        while (gone < n && parts.at(gone).size() != 1)
            ++gone;
        QVERIFY(gone < n);
        const QString goneApk = parts.at(gone).first();
        QVERIFY(QFile::remove(m_sim->hostPath(goneApk)));
        // What a pull of that file alone says.
        const QString pullComplaint =
            m_sim->adb({QStringLiteral("pull"), goneApk, m_home->filePath(QStringLiteral("x"))}).all();
        const QString record = recordAdb();
        appOps().setCommandLineLimit(limit);

        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        // Each row's heading, what it logged, and a blank line.
        auto expectedRows = [&](const std::function<QStringList(int)> &linesOf) {
            QStringList expected;
            for (int i = 0; i < n; ++i) {
                expected << QStringLiteral("[%1/%2] Backing up app: %3").arg(i + 1).arg(n).arg(rows.at(i).name)
                         << linesOf(i) << QStringLiteral(" ");
            }
            return expected;
        };
        QStringList expected = expectedRows([&](int i) {
            QStringList lines;
            for (const QString &part : parts.at(i))
                lines << part + QStringLiteral(": 1 file pulled, 0 skipped. (%1 bytes)")
                                    .arg(QFileInfo(m_sim->hostPath(part)).size());
            return i == gone ? QStringList{pullComplaint, QStringLiteral("Failed")} : lines;
        });
        QCOMPARE(rowLines(expected.size()), expected);
        // The bar counts the bytes that arrived.
        const QString figures = QStringLiteral("%1 of %1 items · %2 of %3")
                                    .arg(n)
                                    .arg(ProgressMeter::formatSize(total - rows.at(gone).sizeText.toLongLong()),
                                         ProgressMeter::formatSize(total));
        QCOMPARE(progressFigures(), figures);
        // Old phones name their files after their packages: one pull, or one per group. Current phones call
        // every package's file base.apk: one pull each.
        const qsizetype pulls = recorded(record, QStringLiteral("^pull ")).size();
        if (profile == QStringLiteral("modern"))
            QCOMPARE(pulls, n);
        else if (limit == 0)
            QCOMPARE(pulls, 1);
        else
            QVERIFY2(pulls > 1 && pulls < n, qPrintable(QString::number(pulls)));
        const QStringList backups = QDir(m_pc).entryList(QDir::Files);
        QCOMPARE(backups.size(), n - 1);
        for (int i = 0; i < n; ++i) {
            if (i == gone)
                continue;
            const QStringList named = backups.filter(QRegularExpression(
                u'^' + QRegularExpression::escape(rows.at(i).label) + QStringLiteral("_v.*\\.apks?$")));
            QVERIFY2(named.size() == 1, qPrintable(rows.at(i).label + u' ' + backups.join(u'|')));
            const QString backup = m_pc + named.first();
            if (parts.at(i).size() == 1) {
                QCOMPARE(readAll(backup), onPhone(parts.at(i).first()));
                continue;
            }
            for (const QString &part : parts.at(i)) {
                const QString member =
                    part.endsWith(QStringLiteral("/base.apk")) ? QStringLiteral("base.apk") : part.section(u'/', -1);
                const QString extracted = m_home->filePath(QStringLiteral("member"));
                QVERIFY2(extractMember(backup, member, extracted), qPrintable(member));
                QCOMPARE(readAll(extracted), onPhone(part));
            }
        }
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        QCOMPARE(summary(), QStringLiteral("*** %1 of %2 done, 1 failed ***").arg(n - 1).arg(n));
        closeLog();

        // A split package whose first part's copy complains, as over a failing card, though every part then
        // lists whole: the later parts copy well, the row still fails with the first part's complaint.
        int split = -1;
        for (int i = 0; i < n && profile == QStringLiteral("modern"); ++i) {
            if (parts.at(i).size() > 1 && split < 0)
                split = i;
        }
        QCOMPARE(split >= 0, profile == QStringLiteral("modern"));
        const QString ioError = QStringLiteral("cp: %1: I/O error").arg(parts.value(split).value(0));
        if (split >= 0) {
            const QByteArray base = parts.at(split).first().toUtf8();
            standInAdb(
                "case \"$2\" in \"exec 2>&1; cp \"*)\n  exec '@ADB@' shell \"$(printf '%s' \"$2\" | sed 's|\\(cp *\"" +
                    base + "\" \"[^\"]*\"\\)|\\1; echo \"" + ioError.toUtf8() + "\"|')\";;\nesac\n",
                QStringLiteral("failing-card"));
        }
        // The same packages into the left phone pane's folder: one copy command, or one per group.
        showLeftPhonePane();
        phoneShell(QStringLiteral("mkdir /sdcard/bk"));
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/bk/")));
        m_prompter->dialogAnswers = {accept()};
        appOps().backupCheckedToPane();
        // What a copy of the file alone says, with cp where the phone has it, else cat.
        const QString copy = profile != QStringLiteral("legacy") ? QStringLiteral("cp \"%1\" /sdcard/probe")
                                                                 : QStringLiteral("cat \"%1\" > /sdcard/probe");
        auto complaintOf = [&](const QString &apk) {
            return m_sim->adb({QStringLiteral("shell"), copy.arg(apk)}).all();
        };
        const QString complaint = complaintOf(goneApk);
        QVERIFY2(complaint.contains(QStringLiteral("No such file")), qPrintable(complaint));
        const int failed = split >= 0 ? 2 : 1;
        expected = expectedRows([&](int i) {
            if (i == gone || i == split)
                return QStringList{i == gone ? complaint : ioError, QStringLiteral("Failed")};
            return QStringList{QStringLiteral("Backup complete")};
        });
        QCOMPARE(rowLines(expected.size()), expected);
        if (split < 0)
            QCOMPARE(progressFigures(), figures);
        const qsizetype shells = recorded(record, QStringLiteral("^shell exec 2>&1; (cp|if \\[ -r) ")).size();
        if (limit == 0)
            QCOMPARE(shells, 1);
        else
            QVERIFY2(shells > 1, qPrintable(QString::number(shells)));
        for (int i = 0; i < n; ++i) {
            for (int p = 0; i != gone && i != split && p < parts.at(i).size(); ++p) {
                const QString target =
                    p == 0 ? appCatalogueKey(rows.at(i))
                           : packageOfAppName(rows.at(i).name) + u'-' + parts.at(i).at(p).section(u'/', -1);
                QCOMPARE(readAll(phone(QStringLiteral("/sdcard/bk/") + target)), onPhone(parts.at(i).at(p)));
            }
        }
        // The stage the copies went through is gone.
        QCOMPARE(QDir(phone(QStringLiteral("/sdcard/bk")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .filter(QStringLiteral(".velbrook-")),
                 QStringList());
        QCOMPARE(summary(), QStringLiteral("*** %1 of %2 done, %3 failed ***").arg(n - failed).arg(n).arg(failed));
        closeLog();
    }

    // Cancel in the middle of a group: the rows done keep their backups, every other row says "Cancelled",
    // and no part of a backup stays behind, on the PC or on the phone.
    void cancelledBackups()
    {
        START_PHONE(QStringLiteral("legacy"), true);
        showAppsWithInfo();
        const QList<ListItem> rows = checkPackages(
            {"com.example.weather", "com.example.notes", "net.example.flashlight", "com.example.spacegame"});
        QCOMPARE(rows.size(), 4);
        const QString first = apps().loader().devicePath(rows.first());
        // Cancel once the stand-in holds the rest back: one more pass of the event loop reads what it wrote
        // before it made `held`.
        auto cancelWhenHeld = [this](const QString &held) {
            auto *poll = new QTimer(this);
            auto seen = std::make_shared<bool>(false);
            connect(poll, &QTimer::timeout, this, [this, poll, seen, held] {
                if (!*seen) {
                    *seen = QFileInfo::exists(held);
                    return;
                }
                poll->stop();
                poll->deleteLater();
                m_form->logForm()->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
            });
            poll->start(50);
        };
        auto expectFirstOnly = [&](const QString &result) {
            QStringList expected;
            for (int k = 1; k <= 4; ++k) {
                expected << QStringLiteral("[%1/4] Backing up app: ").arg(k) + rows.at(k - 1).name
                         << (k == 1 ? result : QStringLiteral("Cancelled")) << QStringLiteral(" ");
            }
            return expected;
        };

        const QString go = m_home->filePath(QStringLiteral("go"));
        recordAdb(go, QStringLiteral("hold-pull"));
        cancelWhenHeld(go + QStringLiteral(".held"));
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        writeAll(go, "");
        QCOMPARE(rowLines(12), expectFirstOnly(first + QStringLiteral(": 1 file pulled, 0 skipped. (%1 bytes)")
                                                           .arg(QFileInfo(m_sim->hostPath(first)).size())));
        const QStringList backups = QDir(m_pc).entryList(QDir::Files);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(readAll(m_pc + backups.first()), onPhone(first));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        closeLog();

        showLeftPhonePane();
        phoneShell(QStringLiteral("mkdir /sdcard/bk"));
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/bk/")));
        m_prompter->dialogAnswers = {accept()};
        recordAdb(QStringLiteral("/sdcard/go"), QStringLiteral("hold-copy"));
        cancelWhenHeld(phone(QStringLiteral("/sdcard/go.held")));
        appOps().backupCheckedToPane();
        phoneShell(QStringLiteral("echo > /sdcard/go"));
        QCOMPARE(rowLines(12), expectFirstOnly(QStringLiteral("Backup complete")));
        // The second row's copy was whole but its row did not end: it is removed with the rest.
        QCOMPARE(QDir(phone(QStringLiteral("/sdcard/bk"))).entryList(QDir::Files),
                 QStringList{appCatalogueKey(rows.first())});
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/bk/")) + appCatalogueKey(rows.first())), onPhone(first));
        closeLog();
    }

    // A backup never takes the place of a file without asking, on the PC or on the phone: Skip keeps the
    // user's file byte for byte, Replace puts the whole backup there, Cancel stops the rest. Packages whose
    // names come out alike get names of their own, and a full disk leaves the old file as it was.
    void backupsAskBeforeReplacing()
    {
        START_PHONE(QStringLiteral("modern"), true);
        const QList<std::tuple<const char *, const char *, const char *>> extra{
            {"com.example.notes.work", "Notes: Work", "1.0"},
            {"com.example.notes.home", "Notes: Home", "2.5"},
            {"com.example.twin.one", "Twin", "1.0"},
            {"com.example.twin.two", "Twin", "1.0"}};
        for (const auto &[package, label, version] : extra) {
            const QString apk = PhoneSim::buildApk(m_home->path(), package, label, 1, version);
            QVERIFY(m_sim->adb({QStringLiteral("install"), apk}).all().contains(QStringLiteral("Success")));
        }
        showAppsWithInfo();
        const QByteArray mine("the user's own file");
        writeAll(m_pc + QStringLiteral("Weather Now_v2.0.1.apk"), mine);
        writeAll(m_pc + QStringLiteral("Maps Lite_v4.1.apks"), mine);
        const QList<ListItem> rows =
            checkPackages({"com.example.weather", "com.example.maps", "com.example.notes.work",
                           "com.example.notes.home", "com.example.twin.one", "com.example.twin.two"});
        QCOMPARE(rows.size(), 6);
        auto apkNamed = [&](const QString &package) {
            for (const ListItem &row : rows) {
                if (packageOfAppName(row.name) == package)
                    return apkOf(row);
            }
            return QByteArray();
        };
        m_prompter->replaceAnswers = {ReplaceAnswer::Skip, ReplaceAnswer::Skip};
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        QStringList asked = m_prompter->messages.filter(QStringLiteral("replace: "));
        asked.sort();
        QCOMPARE(asked,
                 (QStringList{QStringLiteral("replace: ") + m_pc + QStringLiteral("Maps Lite_v4.1.apks (batch)"),
                              QStringLiteral("replace: ") + m_pc + QStringLiteral("Weather Now_v2.0.1.apk (batch)")}));
        QVERIFY(log().contains(QStringLiteral("Skipped: ") + m_pc + QStringLiteral("Weather Now_v2.0.1.apk exists")));
        QCOMPARE(readAll(m_pc + QStringLiteral("Weather Now_v2.0.1.apk")), mine);
        QCOMPARE(readAll(m_pc + QStringLiteral("Maps Lite_v4.1.apks")), mine);
        QCOMPARE(readAll(m_pc + QStringLiteral("Notes: Work_v1.0.apk")), apkNamed("com.example.notes.work"));
        QCOMPARE(readAll(m_pc + QStringLiteral("Notes: Home_v2.5.apk")), apkNamed("com.example.notes.home"));
        const QSet<QByteArray> twins{readAll(m_pc + QStringLiteral("Twin_v1.0.apk")),
                                     readAll(m_pc + QStringLiteral("Twin_v1.0 (2).apk"))};
        QCOMPARE(twins, (QSet<QByteArray>{apkNamed("com.example.twin.one"), apkNamed("com.example.twin.two")}));
        QCOMPARE(QDir(m_pc).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 6);
        QCOMPARE(summary(), QStringLiteral("*** 4 of 6 done, 2 skipped ***"));
        closeLog();

        // Replace: the whole backup takes the user's file's place.
        m_prompter->messages.clear();
        checkPackages({"com.example.weather"});
        m_prompter->replaceAnswers = {ReplaceAnswer::Replace};
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        QCOMPARE(m_prompter->messages.filter(QStringLiteral("replace: ")),
                 QStringList{QStringLiteral("replace: ") + m_pc + QStringLiteral("Weather Now_v2.0.1.apk")});
        QCOMPARE(readAll(m_pc + QStringLiteral("Weather Now_v2.0.1.apk")), apkNamed("com.example.weather"));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();

        // Cancel at the second row's question: the first row is done, the rest cancelled, nothing replaced.
        const QList<ListItem> three =
            checkPackages({"com.example.notes.work", "com.example.notes.home", "com.example.maps"});
        const QHash<QString, QString> backupOf{{"com.example.notes.work", "Notes: Work_v1.0.apk"},
                                               {"com.example.notes.home", "Notes: Home_v2.5.apk"},
                                               {"com.example.maps", "Maps Lite_v4.1.apks"}};
        const QString first = backupOf.value(packageOfAppName(three.first().name));
        QVERIFY(QFile::remove(m_pc + first));
        const QStringList kept = QDir(m_pc).entryList(QDir::Files);
        QList<QByteArray> keptBytes;
        for (const QString &file : kept)
            keptBytes << readAll(m_pc + file);
        m_prompter->replaceAnswers = {ReplaceAnswer::Cancel};
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        const QList<QStringList> logged = loggedRows();
        QCOMPARE(logged.size(), 3);
        QVERIFY2(!logged.at(0).at(1).contains(QStringLiteral("Cancelled")), qPrintable(logged.at(0).join(u'\n')));
        QCOMPARE(logged.at(1).at(1), QStringLiteral("Cancelled"));
        QCOMPARE(logged.at(2).at(1), QStringLiteral("Cancelled"));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 3 done, 2 cancelled ***"));
        QVERIFY(QFileInfo::exists(m_pc + first));
        for (int i = 0; i < kept.size(); ++i)
            QCOMPARE(readAll(m_pc + kept.at(i)), keptBytes.at(i));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        closeLog();

        // In a phone folder: asked before anything is copied; Skip keeps the file, Replace puts the whole
        // copy there, and the stage the copies went through is gone.
        showLeftPhonePane();
        phoneShell(QStringLiteral("mkdir /sdcard/bk"));
        putOnPhone(QStringLiteral("/sdcard/bk/com.example.weather.apk"), mine);
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/bk/")));
        checkPackages({"com.example.weather", "com.example.notes.work"});
        m_prompter->messages.clear();
        m_prompter->replaceAnswers = {ReplaceAnswer::Skip};
        m_prompter->dialogAnswers = {accept()};
        appOps().backupCheckedToPane();
        QCOMPARE(m_prompter->messages.filter(QStringLiteral("replace: ")),
                 QStringList{QStringLiteral("replace: /sdcard/bk/com.example.weather.apk (batch)")});
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/bk/com.example.weather.apk"))), mine);
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/bk/com.example.notes.work.apk"))),
                 apkNamed("com.example.notes.work"));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 2 done, 1 skipped ***"));
        closeLog();
        checkPackages({"com.example.weather"});
        m_prompter->replaceAnswers = {ReplaceAnswer::Replace};
        m_prompter->dialogAnswers = {accept()};
        appOps().backupCheckedToPane();
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/bk/com.example.weather.apk"))), apkNamed("com.example.weather"));
        QCOMPARE(
            QDir(phone(QStringLiteral("/sdcard/bk"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"com.example.notes.work.apk", "com.example.weather.apk"}));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();

        // A full disk: the write fails whole, the old file stays as it was and the log says why.
        SmallDisk disk(m_home->filePath(QStringLiteral("small")));
        if (!disk.isValid())
            QSKIP("mounting a small disk needs root");
        const QString folder = disk.path() + u'/';
        writeAll(folder + QStringLiteral("Weather Now_v2.0.1.apk"), mine);
        // The rest of the disk filled, a piece at a time until it takes no more.
        QFile filler(folder + QStringLiteral("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(1024, 'x')) == 1024 && filler.flush()) {
        }
        filler.close();
        checkPackages({"com.example.weather"});
        m_prompter->replaceAnswers = {ReplaceAnswer::Replace};
        m_prompter->directories = {folder};
        appOps().backupCheckedToPc();
        QVERIFY2(log().contains(QStringLiteral("Cannot write ") + folder +
                                QStringLiteral("Weather Now_v2.0.1.apk: the disk is full")),
                 qPrintable(log().join(u'\n')));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 failed: the disk is full ***"));
        QCOMPARE(readAll(folder + QStringLiteral("Weather Now_v2.0.1.apk")), mine);
        QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, (QStringList{"Weather Now_v2.0.1.apk", "filler"}));
        closeLog();
    }

    // What every phone does alike: the list read in the background without a question, the information
    // window, the install choices the phone takes, and uninstalls that keep or remove the package's data.
    void eachPhone_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("tab");         // the source tab holding the rows below
        QTest::addColumn<QString>("kept");    // uninstalled keeping its data
        QTest::addColumn<QString>("removed"); // uninstalled with its data
        QTest::addColumn<bool>("keptAlone");  // the kept row uninstalled alone, the other as the one checked
        QTest::addColumn<QString>("choices"); // what the install dialog offers
        QTest::newRow("legacy") << "legacy" << 1 << "com.example.notes-1.apk"
                                << "net.example.flashlight-1.apk" << true << "private, SD";
        QTest::newRow("rooted") << "rooted" << 0 << "com.example.notes-1.apk"
                                << "com.example.weather-1.apk" << false << "private";
        QTest::newRow("modern") << "modern" << 0 << "com.example.notes.apk"
                                << "com.example.weather.apk" << true << "";
    }
    void eachPhone()
    {
        QFETCH(QString, profile);
        QFETCH(int, tab);
        QFETCH(QString, kept);
        QFETCH(QString, removed);
        QFETCH(bool, keptAlone);
        QFETCH(QString, choices);
        START_PHONE(profile, true);
        showApps();
        apps().sourceTabs()->setCurrentIndex(tab);
        QVERIFY(apps().isReadingInfo());
        waitForInfo();
        QVERIFY2(m_prompter->messages.isEmpty(), qPrintable(m_prompter->messages.join(u'\n')));
        QCOMPARE(labelOf(apps(), kept), QStringLiteral("Notes"));
        QVERIFY(QFileInfo::exists(appState().iconsDir + u'/' + appCatalogueKey(rowNamed(kept)) + ".png"));
        const QImage icon = apps().rowIcons().at(names(apps()).indexOf(kept)).toImage();
        QVERIFY(icon != AppRowDelegate::genericIcon().toImage());
        // The information window reads the APK it pulls, and leaves no copy behind.
        QCOMPARE(openInfoOf(kept), QStringLiteral("Notes"));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));

        const QString keptData = QStringLiteral("/data/data/") + packageOfAppName(kept);
        const QString removedData = QStringLiteral("/data/data/") + packageOfAppName(removed);
        const QString removedApk = apps().loader().devicePath(rowNamed(removed));
        QVERIFY(phoneHas(keptData) && phoneHas(removedData) && phoneHas(removedApk));
        for (const bool keep : {true, false}) {
            const QString row = keep ? kept : removed;
            const QString label = labelOf(apps(), row);
            m_prompter->dialogAnswers = {uninstallKeeping(keep)};
            if (keep == keptAlone) {
                appOps().uninstallApp(rowNamed(row));
            } else {
                uncheckAll();
                checkRow(row);
                appOps().uninstallChecked();
            }
            QCOMPARE(uninstallQuestion, QStringLiteral("Uninstall %1?").arg(keep == keptAlone ? row : label));
            QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
            closeLog();
            QVERIFY(!names(apps()).contains(row));
        }
        QVERIFY(phoneHas(keptData));
        QVERIFY(!phoneHas(removedApk));
        QVERIFY(!phoneHas(removedData));

        // An install with every choice the dialog lets the user make.
        const QString apk = PhoneSim::buildApk(m_home->path(), "com.example.fresh", "Fresh", 1, "1.0");
        QStringList offered;
        m_prompter->dialogAnswers = {[&offered](QDialog &dialog) {
            auto &form = static_cast<InstallDialog &>(dialog);
            if (form.findChild<QRadioButton *>("InstallType1")->isVisibleTo(&form))
                offered << QStringLiteral("private");
            if (form.findChild<QCheckBox *>("OnSD")->isVisibleTo(&form))
                offered << QStringLiteral("SD");
            form.setType(InstallDialog::Update);
            form.setOnSd(true);
            return int(QDialog::Accepted);
        }};
        m_sim->clearJournal();
        appOps().installApk(apk);
        QCOMPARE(offered.join(QStringLiteral(", ")), choices);
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        QVERIFY2(journalWith("install -s").isEmpty() != choices.contains(QStringLiteral("SD")),
                 qPrintable(m_sim->journal().join(u'\n')));
    }

    // An old phone with native apps-to-SD: the memory card's containers, the internal memory whose folder the
    // shell may not open, and protected packages without root.
    void legacyCardStorage()
    {
        START_PHONE(QStringLiteral("legacy"), true);
        QVERIFY2(!apps().sourcePanel()->isHidden(), qPrintable(m_sim->journal().filter("data/app").join(u'\n')));
        showApps();
        QCOMPARE(names(apps()), QStringList{"org.example.chess-1/pkg.apk"});
        waitForInfo();
        QCOMPARE(labelOf(apps(), "org.example.chess-1/pkg.apk"), QStringLiteral("Chess Club"));
        QVERIFY(QFileInfo::exists(appState().iconsDir + QStringLiteral("/org.example.chess-1.apk.png")));
        // The information window of the container's package, pulled from the memory card.
        QCOMPARE(openInfoOf("org.example.chess-1/pkg.apk"), QStringLiteral("Chess Club"));

        // The internal memory: the package manager names the files, the protected one's with its mark.
        apps().sourceTabs()->setCurrentIndex(1);
        waitForInfo();
        QCOMPARE(labelOf(apps(), "net.example.flashlight-1.apk"), QStringLiteral("Latarka Świetlik"));
        QVERIFY(rowNamed("com.example.bank-1.apk").isProtected);
        // No root: the protected package's backup fails, to the PC and to a phone folder, and says why.
        apps().chooseFilter(AppsFilter::Protected);
        QCOMPARE(names(apps()), QStringList{"com.example.bank-1.apk"});
        const QString protectedFailure =
            QStringLiteral("*** 1 of 1 failed: this application is protected; backing it up needs root ***");
        checkRow("com.example.bank-1.apk");
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        QVERIFY2(!log().filter(QStringLiteral("Permission denied")).isEmpty(), qPrintable(log().join(u'\n')));
        QCOMPARE(summary(), protectedFailure);
        QVERIFY(QDir(m_pc).isEmpty());
        closeLog();
        showLeftPhonePane();
        m_prompter->dialogAnswers = {accept()};
        appOps().backupCheckedToPane();
        QCOMPARE(summary(), protectedFailure);
        QVERIFY(!QFileInfo::exists(phone(QStringLiteral("/sdcard/com.example.bank-1.apk"))));
        closeLog();
        apps().chooseFilter(AppsFilter::All);

        // A secure container is uninstalled by its package's name.
        apps().sourceTabs()->setCurrentIndex(0);
        m_prompter->dialogAnswers = {uninstallKeeping(true)};
        m_sim->clearJournal();
        appOps().uninstallApp(apps().model()->item(0));
        QVERIFY2(!journalWith("pm: uninstall -k org.example.chess").isEmpty(),
                 qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(log().contains(QStringLiteral("Uninstalling app: org.example.chess-1/pkg.apk")));
        closeLog();
    }

    // A rooted phone with an ext partition: packages move between it and the internal memory, protected ones
    // with their compiled code, and root reads and copies what the shell alone may not.
    void rootedMovesApps()
    {
        START_PHONE(QStringLiteral("rooted"), true);
        showApps();
        waitForInfo();
        for (const ListItem &row : apps().model()->rows())
            QCOMPARE(row.isProtected, row.name == QStringLiteral("com.example.spacegame-1.apk"));
        // Root reads the protected package's APK for its information window.
        QCOMPARE(openInfoOf("com.example.spacegame-1.apk"), QStringLiteral("Space Game"));

        // Move into internal memory after a question that names both; "No" moves nothing.
        QVERIFY(apps().menuAction(AppsPane::MenuItem::Move)->isEnabled());
        makeRowCurrent("com.example.notes-1.apk");
        const QString moveNotes = QStringLiteral("question: Move Notes to the internal memory (/data/app/)?");
        m_prompter->questionAnswers = {false};
        appOps().moveApp();
        QVERIFY2(m_prompter->messages.contains(moveNotes), qPrintable(m_prompter->messages.join(u'\n')));
        QVERIFY(phoneHas("/sd-ext/app/com.example.notes-1.apk"));
        m_prompter->messages.clear();
        m_prompter->questionAnswers = {true};
        appOps().moveApp();
        QCOMPARE(m_prompter->messages.filter(QStringLiteral("question: Move")), QStringList{moveNotes});
        QVERIFY(phoneHas("/data/app/com.example.notes-1.apk"));
        QVERIFY(!phoneHas("/sd-ext/app/com.example.notes-1.apk"));
        QVERIFY(phoneHas("/data/dalvik-cache/data@app@com.example.notes-1.apk@classes.dex"));
        QVERIFY(!phoneHas("/sd-ext/dalvik-cache/sd-ext@app@com.example.notes-1.apk@classes.dex"));
        QCOMPARE(rowLines(3), (QStringList{"Moving app: com.example.notes-1.apk", "Move complete", " "}));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();
        QVERIFY(!names(apps()).contains("com.example.notes-1.apk"));

        // A protected package dragged onto the left phone pane is copied there from app-private.
        showLeftPhonePane();
        makeRowCurrent("com.example.spacegame-1.apk");
        m_prompter->dialogAnswers = {accept()};
        appOps().dropRow(true);
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/com.example.spacegame-1.apk"))),
                 onPhone(QStringLiteral("/sd-ext/app-private/com.example.spacegame-1.apk")));
        closeLog();

        // A protected package moves with its compiled code, which is named after the private folder.
        const QString cache = QStringLiteral("@app-private@com.example.spacegame-1.apk@classes.dex");
        QVERIFY(phoneHas(QStringLiteral("/sd-ext/dalvik-cache/sd-ext") + cache));
        const QByteArray game = onPhone(QStringLiteral("/sd-ext/app-private/com.example.spacegame-1.apk"));
        makeRowCurrent("com.example.spacegame-1.apk");
        m_prompter->questionAnswers = {true};
        appOps().moveApp();
        QVERIFY(m_prompter->messages.contains(
            QStringLiteral("question: Move Space Game to the internal memory (/data/app-private/)?")));
        QCOMPARE(onPhone(QStringLiteral("/data/app-private/com.example.spacegame-1.apk")), game);
        QVERIFY(!phoneHas("/sd-ext/app-private/com.example.spacegame-1.apk"));
        QVERIFY(phoneHas(QStringLiteral("/data/dalvik-cache/data") + cache));
        QVERIFY(!phoneHas(QStringLiteral("/sd-ext/dalvik-cache/sd-ext") + cache));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();
    }

    // A current phone: no apps-to-SD, split packages, the package manager's records, labels streamed rather than
    // pulled, system packages, and a cable pulled in the middle of a batch.
    void modernSplitPackages()
    {
        START_PHONE(QStringLiteral("modern"), true, [this] { phoneShell("rm /sdcard/.velbrook"); });
        QVERIFY(!QFileInfo::exists(phone("/sdcard/.velbrook")));
        QVERIFY(!m_prompter->dialogs.contains(QStringLiteral("Apps2SdForm")));
        QVERIFY(apps().sourcePanel()->isHidden());
        QVERIFY(!apps().menuAction(AppsPane::MenuItem::Move)->isEnabled());

        m_sim->clearJournal();
        showApps();
        waitForInfo();
        QVERIFY(!journalWith("cmd: package list packages -f -U --show-versioncode").isEmpty());
        // Labels were streamed in a few calls for all packages, not some per package: no APK crossed whole.
        QVERIFY(journalWith("sync: RECV").isEmpty());
        const QStringList streams = journalWith("exec: echo vb");
        QVERIFY2(!streams.isEmpty() && streams.size() <= 4 && streams.first().contains("unzip -p"),
                 qPrintable(m_sim->journal().filter("unzip").join(u'\n') + log().join(u'\n')));

        // A system package refuses a full uninstall; the user may remove it for user 0.
        QString system;
        for (const ListItem &row : apps().model()->rows()) {
            if (apps().loader().isSystemPackage(row))
                system = row.name;
        }
        QVERIFY(!system.isEmpty());
        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        m_prompter->questionAnswers = {true};
        appOps().uninstallApp(rowNamed(system));
        const QStringList lines = log();
        QVERIFY2(lines.contains(QStringLiteral("Failure [DELETE_FAILED_INTERNAL_ERROR]")),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(m_prompter->messages.last().contains(QStringLiteral("current user only")));
        QVERIFY(!journalWith("--user 0").isEmpty());
        QVERIFY(lines.contains(QStringLiteral("Uninstallation complete")));
        closeLog();
        QVERIFY(!names(apps()).contains(system));

        // Unplugged in the middle of a batch: every row not done says so, nothing half written stays.
        checkPackages({"com.example.weather", "com.example.videoeditor"});
        QVERIFY(m_sim->setLinkState(QStringLiteral("offline")));
        m_prompter->directories = {m_pc};
        appOps().backupCheckedToPc();
        QCOMPARE(log().filter(QStringLiteral("Failed")).size(), 2);
        QVERIFY(QDir(m_pc).isEmpty());
        QVERIFY(tempFiles().isEmpty());
        closeLog();
        QVERIFY(m_sim->setLinkState(QStringLiteral("device")));
    }

    // An uninstall is judged by the package manager's last line and adb's exit status; a confirmed install
    // teaches the catalogue.
    void installAndUninstallJudgedByFacts()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString newer = PhoneSim::buildApk(m_home->filePath(QStringLiteral("newer")),
                                                 QStringLiteral("com.example.story"), QStringLiteral("Story"), 9);
        QVERIFY(m_sim->adb({QStringLiteral("install"), newer}).all().contains(QStringLiteral("Success")));
        const QString listFile = appState().dataDir + QStringLiteral("/list.a");
        QVERIFY(writeAll(listFile, "com.example.story.apk/9;Story\n"));
        const QString older = PhoneSim::buildApk(m_home->filePath(QStringLiteral("older")),
                                                 QStringLiteral("com.example.story"), QStringLiteral("Story Three"), 3);
        const QString story = m_pc + QStringLiteral("My Success Story.apk");
        QVERIFY(QFile::copy(older, story));

        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        appOps().uninstallPackage(QStringLiteral("com.example.story"));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();

        // Gone now: the package manager refuses, and says why.
        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        appOps().uninstallPackage(QStringLiteral("com.example.story"));
        QVERIFY2(log().contains(QStringLiteral("Failure [DELETE_FAILED_INTERNAL_ERROR]")),
                 qPrintable(log().join(u'\n')));
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 failed: the phone refused to remove it ***"));
        closeLog();

        // A confirmed install is recorded.
        m_prompter->dialogAnswers = {accept()};
        appOps().installApk(story);
        QCOMPARE(summary(), QStringLiteral("*** 1 of 1 done ***"));
        QCOMPARE(readAll(listFile), QByteArray("com.example.story.apk/3;Story Three\r\n"));
        closeLog();
    }
};

QTEST_MAIN(TestAppsE2e)
#include "tst_apps_e2e.moc"
