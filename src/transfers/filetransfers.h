#pragma once

#include "transfers/batchprobes.h"
#include "transfers/batchrows.h"
#include "transfers/batchrunner.h"
#include "lists/listitem.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class Operation;
class PhoneStage;
class AdbClient;

// Runs the file browser's batches once the user has chosen what and where: the replace questions, then rows
// pulled to the PC, pushed or copied on the phone, deleted. A row that writes goes first into a stage beside
// its target and is put in place only once the target side holds all of it; a row is "arrived" by what the
// target holds, never by adb's words.
class FileTransfers {
public:
    FileTransfers(AdbClient &adb, Operation &op);

    // Bounds the command lines of grouped commands, in bytes; 0 goes back to the platform's own.
    void setCommandLineLimit(qsizetype bytes) { m_limits.setCommandLine(bytes); }

    // Whole batches in an operation the caller has begun and ends; the rows are logged with "[k/n]" when
    // `counter`. The rows come back in the items' order, each with whether it arrived.
    QList<BatchRow> pullItems(const QList<ListItem> &items, const QString &directory, const QString &folder,
                              const RowHeader &header, bool counter);
    void pushRows(QList<BatchRow> &rows, const QString &destination, bool counter);
    QList<BatchRow> copyItems(const QList<ListItem> &items, const QString &from, const QString &destination,
                              const RowHeader &header, bool counter);
    void removeItems(const QList<ListItem> &items, const QString &directory, bool counter);
    // Copies the items of the phone folder `from` to `destination` (pulls them, when it is on the PC), then
    // deletes from `from` only those that verifiably arrived; a row skipped, refused or failed stays.
    void moveItems(const QList<ListItem> &items, const QString &from, const QString &destination, bool toPc,
                   const RowHeader &header);
    // Pushes PC rows, then deletes the PC files among them that verifiably arrived and are unchanged since;
    // folders stay on the PC, as the PC pane never deletes folders.
    void movePcRows(QList<BatchRow> &rows, const QString &destination);

    // Pulls one phone file into a PC folder by way of a stage, so that a pull that fails leaves the file
    // there as it was; what went wrong, one line each.
    QStringList pullOne(const QString &source, const QString &folder, const QString &name);

    // The rows alone, their questions answered.
    void pull(QList<BatchRow> &rows, const QString &folder, bool counter);
    void push(QList<BatchRow> &rows, const QString &destination, bool counter);
    void copy(QList<BatchRow> &rows, const QString &destination, bool counter);
    void remove(QList<BatchRow> &rows, bool counter = true);

    // The entries of a phone folder by name. A folder that does not list (unreadable, or not there yet) is
    // asked about the names in `names` one by one instead, so that nothing is replaced unasked; `listed`
    // says which way it went.
    QHash<QString, ItemKind> phoneEntries(const QString &folder, const QStringList &names = {}, bool *listed = nullptr);
    // Refuses the rows whose target is their source itself (the same folder under two names).
    void refuseSameFiles(QList<BatchRow> &rows);

    // Stages the phone kept when it went away in the middle of a batch; once it answers, they are removed,
    // and the log says so. Returns whether any was.
    bool cleanUpLeftovers();
    const QStringList &leftovers() const { return m_leftovers; }

    // Makes the destination and its stage; false when rows cannot be staged there.
    bool prepareStage(PhoneStage &stage, const QString &destination);
    // The same, only when a row will be written into it (folders too unless `filesOnly`).
    bool prepareStageFor(PhoneStage &stage, const QList<BatchRow> &rows, const QString &destination,
                         bool filesOnly = false);
    // Removes the stage, or logs that it stays until the phone answers again.
    void dropStage(PhoneStage &stage);
    // What the phone lists by name where rows were written: the stage, or the destination itself when there
    // is none; nothing when the phone did not answer.
    std::optional<QHash<QString, ListItem>> listedArrivals(const PhoneStage &stage, const QString &destination);
    // Checks rows written on the phone (pushed, or copied when `copied`) and moves the whole ones from
    // `stage` into `destination`.
    void confirmOnPhone(const QList<BatchRow *> &rows, const QString &destination, const PhoneStage &stage,
                        bool copied);
    // Removes a file a stopped row began writing in its place on the phone, where it was new; a staged one
    // goes with its stage.
    void removePartial(const BatchRow &row) const;

    AdbClient &adb() const { return m_adb; }
    Operation &op() const { return m_op; }
    CommandLimits &limits() { return m_limits; }
    PhoneFileSize &phoneFileSize() { return m_phoneFileSize; }

private:
    AdbClient &m_adb;
    Operation &m_op;
    CommandLimits m_limits;
    PhoneFileSize m_phoneFileSize;
    QStringList m_leftovers;
};
