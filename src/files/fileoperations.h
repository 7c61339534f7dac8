#pragma once

#include "bridge/operation.h"
#include "lists/listitem.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>

class DevicePane;
class FileListModel;
class QListView;
class QWidget;
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
    void CopyPcToPhone(FileListModel &pcRows, const QString &pcFolder);

    // Bounds the command lines of grouped commands, in characters; 0 goes back to the platform's own.
    // Tests make groups split with a small one.
    void setCommandLineLimit(qsizetype chars) { m_commandLineLimit = chars; }

    // Drag and drop of one row between the lists of the two sides.
    bool AcceptDrop(const QListView *target, const QListView *source) const;
    void DropRow(QListView *target, QListView *source);

private:
    class ReplaceQuestion;
    // What to do with a row whose target may exist already.
    enum class Step { Write, Skip, Stop, KindClash };
    // A checked file pulled in one adb command with its neighbours.
    struct GroupRow {
        int k = 0;
        ListItem item;
        Step step = Step::Write;
        bool existed = false;
        QStringList lines;  // the row's own lines, once adb reported them
        bool shown = false; // its "[k/n]" line is in the log
    };

    void connectPane(DevicePane &pane);
    int checkedCount(DevicePane &pane);
    bool logUnwritten(Step step, const QString &target);
    Step checkTarget(bool exists, bool targetIsFolder, bool sourceIsFolder, const QString &target,
                     ReplaceQuestion &replace);
    QHash<QString, ItemKind> phoneEntries(const QString &folder);
    QString copyOnPhone(const QString &source, const QString &target, bool directory);
    void selectAfterRelist(DevicePane &pane, const QString &name);
    bool removeRow(const QString &directory, const ListItem &item);
    bool pullItem(const QString &source, bool isDir, const QString &folder, ReplaceQuestion &replace);
    bool pullDecided(const QString &source, bool isDir, const QString &folder, bool existed);
    bool pullGroup(QList<GroupRow> &rows, int n, const QString &directory, const QString &folder);
    qsizetype commandLineLimit() const;
    qsizetype shellLimit();
    bool removeGroup(const QList<int> &rows, const FileListModel &model, const QString &directory);
    bool copyItem(const QString &from, const ListItem &item, const QString &destination,
                  const QHash<QString, ItemKind> &onPhone, ReplaceQuestion &replace);
    bool pushItem(const QString &local, bool isFolder, const QString &target, const QString &destination,
                  const QHash<QString, ItemKind> &onPhone, ReplaceQuestion &replace);

    QWidget *m_window;
    TADB &m_adb;
    OperationLog &m_log;
    DevicePane &m_right;
    DevicePane &m_left;
    OtherLists m_lists;
    Hooks m_hooks;
    Operation m_op;
    qsizetype m_commandLineLimit = 0;
    qsizetype m_shellLimit = 0; // asked of the phone once
};
