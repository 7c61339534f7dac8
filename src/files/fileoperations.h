#pragma once

#include "transfers/operation.h"
#include "transfers/batchrunner.h"
#include "files/filetransfers.h"
#include "lists/listitem.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class DevicePane;
class FileListModel;
class FilePaneBase;
class QListView;
class QWidget;
class ReplaceQuestion;
class TADB;
class OperationLog;

// The commands that change files on the phone and copy them to and from the PC. Multi-item
// commands report every step in the operation log.
class FileOperations final : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool()> appsPageShown;  // the right side shows the applications manager
        std::function<bool()> leftShowsPhone; // the left side shows the second phone pane
        std::function<QString()> pcFolder;    // the PC pane's folder (ends in "/")
        std::function<void(const QString &, Location)> refreshLocation;
    };

    // The lists rows are dragged between besides the two phone panes' own.
    struct OtherLists {
        const QListView *pc = nullptr;
        const QListView *apps = nullptr;
    };

    FileOperations(QWidget *window, TADB &adb, OperationLog &log, DevicePane &right, DevicePane &left, OtherLists lists,
                   Hooks hooks);

    void PushFilesFromPc(DevicePane &pane);
    void PullChecked(DevicePane &pane);
    void DeleteChecked(DevicePane &pane);
    void CopyChecked(DevicePane &source);
    void PullCurrent(DevicePane &pane);
    void DeleteCurrent(DevicePane &pane);
    void RenameCurrent(DevicePane &pane);
    void MakeDirectory(DevicePane &pane);
    void PullAndOpen(DevicePane &pane);
    void PreparePopup(DevicePane &pane);
    void PushDroppedFiles(const QStringList &paths);
    // The PC pane's checked rows to the right phone pane's folder.
    void CopyPcToPhone(FilePaneBase &pcPane, const QString &pcFolder);

    // Bounds the command lines of grouped commands, in bytes; 0 goes back to the platform's own.
    // Tests make groups split with a small one.
    void setCommandLineLimit(qsizetype bytes) { m_transfers.setCommandLineLimit(bytes); }
    // Removes what a batch left on the phone when it went away, now that it answers again.
    void phoneIsBack();

    // Drag and drop of one row between the lists of the two sides.
    bool AcceptDrop(const QListView *target, const QListView *source) const;
    void DropRow(QListView *target, QListView *source);

private:
    using Step = RowStep;

    void connectPane(DevicePane &pane);
    int markedCount(DevicePane &pane);
    Step checkTarget(bool exists, bool targetIsFolder, bool sourceIsFolder, const QString &target,
                     ReplaceQuestion &replace);
    void selectAfterRelist(DevicePane &pane, const QString &name);

    static qint64 totalBytes(const QList<BatchRow> &rows);
    static BatchRow phoneRow(int k, const ListItem &item, const QString &header, const QString &directory);
    static BatchRow pushRow(int k, const QString &local, const QString &header, const QString &destination);
    static QList<ListItem> markedItems(DevicePane &pane);
    // The replace questions of a batch's rows, asked before any of them runs.
    void decideOnPc(QList<BatchRow> &rows, ReplaceQuestion &replace);
    void decideOnPhone(QList<BatchRow> &rows, const QString &destination, const QHash<QString, ItemKind> &onPhone,
                       ReplaceQuestion &replace);
    QList<BatchRow> pullRows(const QList<ListItem> &items, const QString &directory, const QString &folder,
                             const std::function<QString(const ListItem &)> &header);
    void pullBatch(const QList<ListItem> &items, const QString &directory, const QString &folder,
                   const std::function<QString(const ListItem &)> &header, bool counter);
    void pushRows(QList<BatchRow> &rows, const QString &destination, bool counter = true);
    void copyBatch(const QList<ListItem> &items, const QString &from, const QString &destination,
                   const std::function<QString(const ListItem &)> &header, bool counter);

    QWidget *m_window;
    TADB &m_adb;
    OperationLog &m_log;
    DevicePane &m_right;
    DevicePane &m_left;
    OtherLists m_lists;
    Hooks m_hooks;
    Operation m_op;
    FileTransfers m_transfers;
};
