#pragma once

#include "transfers/batchprobes.h"
#include "transfers/batchrunner.h"
#include "lists/listitem.h"

#include <QHash>
#include <QString>
#include <QStringList>

class Operation;
class PcStage;
class PhoneStage;
class TADB;

// Runs the file browser's batches once their questions are answered: rows pulled to the PC, pushed or copied
// on the phone, deleted. A row that writes goes first into a stage beside its target and is put in place only
// once the target side holds all of it; a row is "arrived" by what the target holds, never by adb's words.
class FileTransfers {
public:
    FileTransfers(TADB &adb, Operation &op);

    // Bounds the command lines of grouped commands, in bytes; 0 goes back to the platform's own.
    void setCommandLineLimit(qsizetype bytes) { m_limits.setCommandLine(bytes); }

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
    // Removes the stage, or logs that it stays until the phone answers again.
    void dropStage(PhoneStage &stage);
    // What the phone lists by name where rows were written: the stage, or the destination itself when there
    // is none; nothing when the phone did not answer.
    std::optional<QHash<QString, ListItem>> listedArrivals(const PhoneStage &stage, const QString &destination);

private:
    GroupCommand transferCommand(const QString &folder, bool push);
    GroupCommand removeCommand();
    GroupCommand copyCommand(const PhoneStage &stage);
    // `stage` and `folder`: where the rows went first and where they belong.
    void confirmPulled(BatchRow &row, const QString &stage, const QString &folder) const;
    void confirmOnPhone(const QList<BatchRow *> &rows, const QString &destination, const PhoneStage &stage,
                        bool copied);
    bool removeRow(BatchRow &row);

    TADB &m_adb;
    Operation &m_op;
    CommandLimits m_limits;
    PhoneFileSize m_phoneFileSize;
    QStringList m_leftovers;
};
