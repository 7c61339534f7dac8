#pragma once

#include "transfers/batchrunner.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class AppBackups;
class PhoneStage;

// Backups pulled to the PC: every part of a group's packages in one adb pull into a folder of the group's
// own, then each package named, bundled and written in its turn.
class BackupPullCommand final : public GroupCommand {
public:
    BackupPullCommand(AppBackups &backups, const QString &folder, const QString &staging);

    // The name a part has beside the others in a group's folder, as the PC folds names.
    static QString stagedName(const QString &part);

    qsizetype limit() const override;
    qsizetype baseLength() const override;
    qsizetype rowLength(const BatchRow &row) const override;
    bool joins(const QList<BatchRow *> &members, const BatchRow &row) const override;
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override;
    void readLine(const QList<BatchRow *> &members, const QString &line) override;
    void finish(const QList<BatchRow *> &members) override;
    void complete(BatchRow &row) override;
    bool runsAlone() const override { return true; }
    bool runAlone(BatchRow &row) override;
    qint64 partialBytes(const BatchRow &row) override;
    void undoPartial(const BatchRow &row) override;

private:
    AppBackups &m_backups;
    const QString m_folder;
    const QString m_staging;
    // The parts of the pull that runs, and whose they are: a package and its part.
    QStringList m_pulling;
    QList<std::pair<BatchRow *, int>> m_owners;
    qsizetype m_said = 0; // the parts before this one adb has said all of
};

// Backups copied on the phone: each part's copy followed by a marker of its own, checked by the phone's
// listing and moved from the stage over its target.
class BackupCopyCommand final : public GroupCommand {
public:
    BackupCopyCommand(AppBackups &backups, const QString &folder, const PhoneStage &stage);

    qsizetype limit() const override;
    qsizetype baseLength() const override { return 20; }
    qsizetype rowLength(const BatchRow &row) const override;
    QString run(const QList<BatchRow *> &members, const Streaming &streaming) override;
    void readLine(const QList<BatchRow *> &members, const QString &line) override;
    bool confirms() const override { return true; }
    void confirm(const QList<BatchRow *> &rows) override;
    qint64 partialBytes(const BatchRow &row) override;
    void undoPartial(const BatchRow &row) override;

private:
    AppBackups &m_backups;
    const QString m_folder;
    const PhoneStage &m_stage;
    int m_markers = 0; // row markers given out in this batch
};
