#pragma once

#include "base/prompter.h"
#include "transfers/batchprobes.h"
#include "transfers/batchrunner.h"
#include "transfers/filetransfers.h"
#include "lists/listitem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class AppsLoader;
class Operation;
class OperationLog;
class PhoneStage;
class AdbClient;

// Backups of installed packages to a PC folder or a phone folder. The rows go in as few adb commands as adb
// allows, and each is logged as it would be by commands of its own. A target that exists is replaced only
// when the user says so, and only by a whole file: the new one is written under a temporary name first.
class AppBackups {
public:
    AppBackups(AdbClient &adb, Operation &op, OperationLog &log);

    // Bounds the command lines of grouped commands, in characters; 0 goes back to the platform's own.
    void setCommandLineLimit(qsizetype chars) { m_limits.setCommandLine(chars); }

    // Backs up the rows `loader` listed into `folder` (ending in "/"), in an operation the caller has begun
    // and remounted for. Each row is logged "[k/n] Backuping app: <name>", without the counter unless `counter`,
    // and counted in the operation's summary.
    void run(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone, bool counter);

private:
    friend class BackupPullCommand;
    friend class BackupCopyCommand;

    // A row's package: its parts, where they go and what the commands said of them.
    struct Package {
        ListItem row;
        QStringList parts;        // the phone's paths of its APKs, the base first
        QStringList targets;      // on the phone: where each part ends up
        QStringList copies;       // on the phone: where each part is copied first
        QStringList staged;       // on the PC: where a grouped pull puts each part
        QList<QStringList> lines; // what the grouped command said of each part
        QList<bool> settled;      // a part the grouped pull has said all of
        QStringList pending;      // the phone's lines since the last marker
        QString copied;           // the copies' outputs so far
        int marker = -1;          // the first part's row marker, once its copies began
        int done = 0;             // parts whose marker came
    };

    QList<BatchRow> gather(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone);
    // Names a package whose parts are on the PC, bundles them when there are several and writes the result
    // into `folder`, after the user's answer when that name is taken; `output` is what adb said of it.
    void store(BatchRow &row, const QStringList &locals, const QString &folder, const QString &output);
    // Logs a row that ran alone; false, after "Cancelled", when the batch stops there.
    bool logAlone(const BatchRow &row);

    void runOnPhone(QList<BatchRow> &batch, const QString &folder, bool counter);
    // Asks about the rows whose targets exist, before anything is copied.
    void decideOnPhone(QList<BatchRow> &batch, const QString &folder);

    static QString unnamedParts();
    // What was said so far, then `more` on a line of its own.
    static QString joined(const QString &lines, const QString &more);
    // A new file in the temporary folder.
    static QString tempFile(const QString &suffix);
    // A row that did not reach its target: what was said of it, then "Failed".
    void fail(BatchRow &row, const QString &said, const QString &reason = {});
    // Why a package's backup failed, where the phone's answer shows the cause; empty otherwise.
    QString reasonFor(const Package &package, const QString &said) const;

    AdbClient &m_adb;
    Operation &m_op;
    OperationLog &m_log;
    CommandLimits m_limits;
    PhoneFileSize m_phoneFileSize;
    FileTransfers m_transfers; // the file browser's checks and stages on the phone
    std::optional<ReplaceQuestion> m_replace;
    QList<Package> m_packages; // by BatchRow::tag
    QSet<QString> m_taken;     // the names this batch has given out on the PC, folded
};
