#pragma once

#include "files/browserlayout.h"
#include "lists/listitem.h"
#include "transfers/filetransfers.h"
#include "transfers/operation.h"

#include <QObject>
#include <QStringList>

class DevicePane;
class FilePaneBase;
class QListView;
class QWidget;
class AdbClient;
class OperationLog;

// The commands that change files on the phone and copy them to and from the PC. Multi-item
// commands report every step in the operation log.
class FileOperations final : public QObject {
    Q_OBJECT
public:
    // The lists rows are dragged between besides the two phone panes' own.
    struct OtherLists {
        const QListView *pc = nullptr;
        const QListView *apps = nullptr;
    };

    FileOperations(QWidget *window, const BrowserLayout &layout, AdbClient &adb, OperationLog &log, DevicePane &right,
                   DevicePane &left, OtherLists lists);

    void pushFilesFromPc(DevicePane &pane);
    void pullChecked(DevicePane &pane);
    void deleteChecked(DevicePane &pane);
    void copyChecked(DevicePane &source);
    // Copies the marked rows to the other side, then deletes those that arrived.
    void moveChecked(DevicePane &source);
    void pullCurrent(DevicePane &pane);
    void deleteCurrent(DevicePane &pane);
    void renameCurrent(DevicePane &pane);
    void makeDirectory(DevicePane &pane);
    void pullAndOpen(DevicePane &pane);
    void preparePopup(DevicePane &pane);
    void pushDroppedFiles(const QStringList &paths);
    // The PC pane's checked rows to the right phone pane's folder.
    // With `move`, the files among them that arrived are deleted from the PC.
    void copyPcToPhone(FilePaneBase &pcPane, const QString &pcFolder, bool move = false);

    // Bounds the command lines of grouped commands, in bytes; 0 goes back to the platform's own.
    // Tests make groups split with a small one.
    void setCommandLineLimit(qsizetype bytes) { m_transfers.setCommandLineLimit(bytes); }
    // Removes what a batch left on the phone when it went away, now that it answers again.
    void phoneIsBack();

    // Drag and drop of one row between the lists of the two sides.
    bool acceptDrop(const QListView *target, const QListView *source) const;
    void dropRow(QListView *target, QListView *source);

signals:
    // An operation changed what `path` shows; whatever lists it lists again.
    void locationChanged(const QString &path, Location side);

private:
    void connectPane(DevicePane &pane);
    // Copy and move: the marked rows to the other side, after the user confirmed where.
    void transferChecked(DevicePane &source, bool move);
    void selectAfterRelist(DevicePane &pane, const QString &name);
    static QList<ListItem> markedItems(const FilePaneBase &pane);

    QWidget *m_window;
    AdbClient &m_adb;
    DevicePane &m_right;
    DevicePane &m_left;
    OtherLists m_lists;
    const BrowserLayout &m_layout;
    Operation m_op;
    FileTransfers m_transfers;
};
