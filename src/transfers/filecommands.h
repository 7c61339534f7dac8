#pragma once

#include "transfers/batchrunner.h"

#include <QList>
#include <QString>

class FileTransfers;
class PcStage;
class PhoneStage;
struct MarkedResult;

// What a row's result says when it did not arrive.

// A line of adb's or a phone tool's about a row that is not adb's count of it.
bool complainedAbout(const BatchRow &row);
// Why a row did not arrive, after what was said about it; the stage it went to is shown as its destination.
QString failedRow(const BatchRow &row, const QString &verdict, const QString &stage, const QString &destination);
QString nothingArrived(const BatchRow &row);
QString shortOf(qint64 arrived, qint64 expected);
// A row that arrived in its stage but did not reach its target: what the move printed, then why.
QString notMovedResult(const MarkedResult &moved);
// Refuses a row that would replace its target but has no stage to be written in first (`what`: "the new
// file", "the copy"); without a stage only new files are written, straight to their place.
void refuseUnstaged(BatchRow &row, const QString &what, const QString &destination, const PhoneStage &stage);
// What a copy on the phone that printed nothing says.
QString copiedResult();
// Rows written on the phone are confirmed once their group has ended: a group holds so many bytes that the
// log follows a long batch.
bool withinGroupBytes(const QList<BatchRow *> &members, const BatchRow &row);

// The file browser's group commands.

// adb pull or push of many paths into one folder, its lines read by the paths they name.
class AdbTransferCommand : public NamedLinesCommand {
public:
    AdbTransferCommand(FileTransfers &transfers, const QString &folder, bool push);

    qsizetype limit() const override;
    qsizetype baseLength() const override;
    qsizetype rowLength(const BatchRow &row) const override;
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override;
    bool failureEndsGroup() const override { return true; }

protected:
    FileTransfers &m_transfers;
    const QString m_folder;
    const bool m_push;
};

// Into a stage on the PC; a pulled file is whole once adb has counted it.
class PullCommand final : public AdbTransferCommand {
public:
    PullCommand(FileTransfers &transfers, const PcStage &stage, const QString &folder);

    bool confirms() const override { return true; }
    void confirm(const QList<BatchRow *> &rows) override;
    bool confirmsAsItGoes() const override { return true; }
    qint64 partialBytes(const BatchRow &row) override;

private:
    const PcStage &m_stage;
    const QString m_destination;
};

// Into a stage on the phone, or straight to the destination when there is none.
class PushCommand final : public AdbTransferCommand {
public:
    PushCommand(FileTransfers &transfers, const PhoneStage &stage, const QString &destination);

    bool joins(const QList<BatchRow *> &members, const BatchRow &row) const override;
    bool confirms() const override { return true; }
    void confirm(const QList<BatchRow *> &rows) override;
    qint64 partialBytes(const BatchRow &row) override;
    void undoPartial(const BatchRow &row) override;

private:
    const PhoneStage &m_stage;
    const QString m_destination;
};

// cp on the phone, each row followed by its marker; a folder merges in place.
class PhoneCopyCommand final : public GroupCommand {
public:
    PhoneCopyCommand(FileTransfers &transfers, const PhoneStage &stage, const QString &destination);

    qsizetype limit() const override;
    qsizetype baseLength() const override { return 20; }
    qsizetype rowLength(const BatchRow &row) const override;
    bool joins(const QList<BatchRow *> &members, const BatchRow &row) const override;
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override;
    void readLine(const QList<BatchRow *> &members, const QString &line) override;
    bool confirms() const override { return true; }
    void confirm(const QList<BatchRow *> &rows) override;
    qint64 partialBytes(const BatchRow &row) override;
    void undoPartial(const BatchRow &row) override;

private:
    FileTransfers &m_transfers;
    const PhoneStage &m_stage;
    const QString m_destination;
};

// rm on the phone: files and folders in one go, then a check per row where that failed.
class RemoveCommand final : public GroupCommand {
public:
    explicit RemoveCommand(FileTransfers &transfers) : m_transfers(transfers) {}

    qsizetype limit() const override;
    qsizetype baseLength() const override { return 120; }
    qsizetype rowLength(const BatchRow &row) const override;
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override;
    void readLine(const QList<BatchRow *> &members, const QString &line) override;
    bool runsAlone() const override { return true; }
    bool runAlone(BatchRow &row) override;

private:
    FileTransfers &m_transfers;
};
