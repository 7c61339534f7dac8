#pragma once

#include "files/batchprobes.h"
#include "files/batchrunner.h"
#include "lists/listitem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class AppsLoader;
class Operation;
class TADB;

// Backups of installed packages to a PC folder or a phone folder. The rows go in as few adb commands as adb
// allows, and each is logged as it would be by commands of its own.
class AppBackups {
public:
    AppBackups(TADB &adb, Operation &op);

    // Bounds the command lines of grouped commands, in characters; 0 goes back to the platform's own.
    void setCommandLineLimit(qsizetype chars) { m_limits.setCommandLine(chars); }

    // Backs up the rows `loader` listed into `folder` (ending in "/"), in an operation the caller has begun
    // and remounted for. Each row is logged "[k/n] Backuping app: <name>", without the counter unless `counter`.
    void run(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone, bool counter);

private:
    // A row's package: its parts, where they go and what the commands said of them.
    struct Package {
        ListItem row;
        QStringList parts;        // the phone's paths of its APKs, the base first
        QStringList targets;      // on the phone: where each part is copied
        QStringList staged;       // on the PC: where a grouped pull puts each part
        QList<QStringList> lines; // what the grouped command said of each part
        QList<bool> settled;      // a part the grouped pull has said all of
        QStringList pending;      // the phone's lines since the last marker
        QString copied;           // the copies' outputs so far
        int marker = -1;          // the first part's row marker, once its copies began
        int done = 0;             // parts whose marker came
    };

    QList<BatchRow> gather(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone);
    GroupCommand pcCommand(const QString &folder, const QString &staging);
    GroupCommand phoneCommand();
    void readPulled(const QString &line);
    void completePulled(BatchRow &row, const QString &folder);
    void readCopied(const QList<BatchRow *> &members, const QString &line);
    // A package by its own commands; its lines, nothing when cancelled.
    std::optional<QString> pullAlone(Package &package, const QString &folder);
    std::optional<QString> copyAlone(Package &package);
    // Names a package whose parts are on the PC, bundles them when there are several and copies the result
    // into `folder`; its lines, after what adb said of it.
    QString store(const Package &package, const QStringList &locals, const QString &folder, const QString &output);
    // Removes the copies of the first `parts` parts, begun on the phone by a row that was cancelled.
    void removeCopies(const Package &package, int parts);
    // Logs a row that ran alone; false, after "Cancelled", when it was cancelled.
    bool logAlone(const std::optional<QString> &lines);

    TADB &m_adb;
    Operation &m_op;
    CommandLimits m_limits;
    PhoneFileSize m_phoneFileSize;
    QList<Package> m_packages; // by BatchRow::tag
    QSet<QString> m_taken;     // the names written to the PC in this batch
    // The parts of the pull that runs, and whose they are: a package and its part.
    QStringList m_pulling;
    QList<std::pair<BatchRow *, int>> m_owners;
    qsizetype m_said = 0; // the parts before this one adb has said all of
    int m_markers = 0;    // row markers given out in this batch
};
