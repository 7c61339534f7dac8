#include "files/fileoperations.h"

#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/databasebrowser.h"
#include "files/filedialogs.h"
#include "lists/filelistmodel.h"
#include "lists/listengine.h"
#include "widgets/copyform.h"
#include "base/chooserfolders.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "base/settings.h"

#include <QAction>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QPushButton>

namespace {

const QString kNoAppsTarget = QStringLiteral("Files cannot be copied to the applications manager.");
const QString kMoveTitle = QStringLiteral("Move: copy, then delete the originals");

const ListItem *currentRow(const QListView *view)
{
    auto *model = qobject_cast<FileListModel *>(view->model());
    const QModelIndex index = view->currentIndex();
    return model && index.isValid() ? &model->item(index.row()) : nullptr;
}

// A new name for a row: one whole name, as typed; the user is told when it is not.
bool isPlainName(QWidget *window, const QString &name)
{
    if (!name.isEmpty() && !name.contains(u'/') && name != QStringLiteral(".") && name != QStringLiteral(".."))
        return true;
    prompter().information(window, QStringLiteral("A name must not be empty, \".\", \"..\" or hold a \"/\"."));
    return false;
}

} // namespace

FileOperations::FileOperations(QWidget *window, const BrowserLayout &layout, AdbClient &adb, OperationLog &log,
                               DevicePane &right, DevicePane &left, OtherLists lists)
    : QObject(window), m_window(window), m_adb(adb), m_right(right), m_left(left), m_lists(lists), m_layout(layout),
      m_op(window, adb, log, [this](const QString &path, Location side) { emit locationChanged(path, side); }),
      m_transfers(adb, m_op)
{
    connectPane(m_right);
    connectPane(m_left);
}

void FileOperations::connectPane(DevicePane &pane)
{
    using Command = DevicePane::Command;
    using Item = DevicePane::MenuItem;
    auto onButton = [&](Command button, void (FileOperations::*command)(DevicePane &)) {
        connect(pane.commandButton(button), &QPushButton::clicked, this,
                [this, &pane, command] { (this->*command)(pane); });
    };
    auto onItem = [&](Item item, void (FileOperations::*command)(DevicePane &)) {
        connect(pane.menuAction(item), &QAction::triggered, this, [this, &pane, command] {
            // The rows of a folder still loading are not the ones the menu was opened on.
            if (!pane.isListing())
                (this->*command)(pane);
        });
    };
    onButton(Command::Push, &FileOperations::pushFilesFromPc);
    onButton(Command::Pull, &FileOperations::pullChecked);
    onButton(Command::Delete, &FileOperations::deleteChecked);
    onButton(Command::Copy, &FileOperations::copyChecked);
    connect(pane.moveAction(), &QAction::triggered, this, [this, &pane] {
        if (!pane.isListing())
            moveChecked(pane);
    });
    onItem(Item::Pull, &FileOperations::pullCurrent);
    onItem(Item::Delete, &FileOperations::deleteCurrent);
    onItem(Item::Rename, &FileOperations::renameCurrent);
    onItem(Item::NewDirectory, &FileOperations::makeDirectory);
    onItem(Item::PullAndOpen, &FileOperations::pullAndOpen);
    connect(pane.listMenu(), &QMenu::aboutToShow, this, [this, &pane] { preparePopup(pane); });
}

void FileOperations::pushFilesFromPc(DevicePane &pane)
{
    const QStringList files =
        chooseOpenFilesFor(Chooser::Push, m_window, QStringLiteral("Open"), QStringLiteral("All Files (*)"));
    if (files.isEmpty())
        return;
    PushTargetDialog form(
        m_left.folder(), m_right.folder(),
        pane.side() == DevicePane::Side::Left ? PushTargetDialog::LeftPanel : PushTargetDialog::RightPanel, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    const QString sourceFolder = QFileInfo(files.first()).absolutePath() + u'/';
    m_op.begin({QStringLiteral("Files count: ") + QString::number(files.size()),
                QStringLiteral("Files source: ") + sourceFolder, QStringLiteral("Files destination: ") + destination});
    QList<BatchRow> rows = pushedPathRows(files, destination);
    m_transfers.pushRows(rows, destination, true);
    m_op.end(destination, Location::Phone);
}

void FileOperations::pullChecked(DevicePane &pane)
{
    const int n = pane.selectedCount();
    if (!m_op.hasRows(n))
        return;
    const QString folder = chooseDirectoryFor(Chooser::Pull, m_window, QStringLiteral("Select directory:"));
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items destination: ") + folder});
    m_transfers.pullItems(markedItems(pane), pane.folder(), folder, pullLine, true);
    m_op.end();
}

QList<ListItem> FileOperations::markedItems(const FilePaneBase &pane)
{
    QList<ListItem> items;
    for (int row : pane.markedRows())
        items << pane.model()->item(row);
    return items;
}

void FileOperations::deleteChecked(DevicePane &pane)
{
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    const int n = pane.selectedCount();
    if (!m_op.hasRows(n))
        return;
    QStringList names;
    for (const ListItem &item : markedItems(pane))
        names << escapeControls(entryName(item));
    if (!prompter().question(m_window, deleteQuestion(names, QStringLiteral(" from the phone"))))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n)});
    m_transfers.removeItems(markedItems(pane), directory, true);
    m_op.end(directory, Location::Phone);
}

void FileOperations::copyChecked(DevicePane &source)
{
    transferChecked(source, false);
}

void FileOperations::moveChecked(DevicePane &source)
{
    transferChecked(source, true);
}

void FileOperations::transferChecked(DevicePane &source, bool move)
{
    const bool fromRight = source.side() == DevicePane::Side::Right;
    if (!fromRight && m_layout.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const int n = source.selectedCount();
    if (!m_op.hasRows(n))
        return;
    const QString from = source.folder();
    const bool toPc = fromRight && !m_layout.leftShowsPhone();
    const QString to = !fromRight ? m_right.folder() : toPc ? m_layout.pcFolder() : m_left.folder();
    CopyDialog form(from, to, m_window);
    if (move)
        form.setWindowTitle(kMoveTitle);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!toPc && !m_op.allowed(destination))
        return;
    if (move && !m_op.allowed(from))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + from,
                QStringLiteral("Items destination: ") + destination});
    if (move) {
        m_transfers.moveItems(markedItems(source), from, destination, toPc, copyItemLine);
        // Both sides changed: the rows that left and the ones that arrived.
        m_op.end(from, Location::Phone);
        emit locationChanged(destination, toPc ? Location::Pc : Location::Phone);
        return;
    }
    if (toPc) {
        m_transfers.pullItems(markedItems(source), from, destination, copyItemLine, true);
        m_op.end(destination, Location::Pc);
        return;
    }
    m_transfers.copyItems(markedItems(source), from, destination, copyItemLine, true);
    m_op.end(destination, Location::Phone);
}

void FileOperations::pullCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    const QString folder = chooseDirectoryFor(Chooser::Pull, m_window, QStringLiteral("Select directory:"));
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Items count: 1"), QStringLiteral("Items destination: ") + folder});
    m_transfers.pullItems({item}, directory, folder, pullLine, false);
    m_op.end();
}

void FileOperations::deleteCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    if (!prompter().question(m_window,
                             deleteQuestion({escapeControls(entryName(item))}, QStringLiteral(" from the phone"))))
        return;
    m_op.begin({QStringLiteral("Items count: 1")});
    m_transfers.removeItems({item}, directory, false);
    m_op.end(directory, Location::Phone);
}

void FileOperations::renameCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    const QString old = entryName(item);
    RenameDialog dialog(QStringLiteral("Rename"), old, m_window);
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    // Blanks are part of a name: what was typed is the name.
    const QString newName = dialog.typedName();
    if (newName == old)
        return;
    if (!isPlainName(m_window, newName))
        return;
    const QHash<QString, ItemKind> entries = m_transfers.phoneEntries(directory, {newName});
    if (const auto found = entries.constFind(newName); found != entries.cend()) {
        // mv would put the row inside an existing folder instead of taking its name.
        if (*found == ItemKind::Folder || isFolder(item)) {
            prompter().information(m_window, QStringLiteral("\"") + escapeControls(newName) +
                                                 QStringLiteral("\" already exists in ") + directory);
            return;
        }
        if (prompter().askReplace(m_window, directory + newName, false) != ReplaceAnswer::Replace)
            return;
    }
    if (isSystemPath(directory))
        m_adb.remount();
    if (const CommandResult moved = m_adb.moveFile(directory + old, directory + newName, QString()); !moved.ok())
        prompter().information(m_window, QStringLiteral("Rename failed: ") + moved.errorText);
    if (pane.fillDeviceList(directory)) {
        const QString suffix = isFolder(item) ? QStringLiteral("/") : isLink(item) ? QStringLiteral("@") : QString();
        selectAfterRelist(pane, newName + suffix);
    }
}

void FileOperations::makeDirectory(DevicePane &pane)
{
    const QString directory = pane.folder();
    RenameDialog dialog(QStringLiteral("New directory"), QStringLiteral("NewDir"), m_window);
    if (prompter().exec(dialog) != QDialog::Accepted || dialog.name().isEmpty())
        return;
    const QString name = dialog.name();
    if (!isPlainName(m_window, name))
        return;
    if (const CommandResult made = m_adb.makeDir(directory + name, QString()); !made.ok())
        prompter().information(m_window, QStringLiteral("New directory failed: ") + made.errorText);
    if (pane.fillDeviceList(directory))
        selectAfterRelist(pane, name + u'/');
    pane.list()->setFocus();
}

void FileOperations::selectAfterRelist(DevicePane &pane, const QString &name)
{
    const QList<ListItem> &rows = pane.model()->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (itemName(rows.at(i)) == name) {
            pane.list()->setCurrentIndex(pane.model()->index(i));
            pane.list()->scrollTo(pane.model()->index(std::max(0, i - 5)), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void FileOperations::phoneIsBack()
{
    if (m_transfers.leftovers().isEmpty())
        return;
    m_op.begin({QStringLiteral("The phone is back")});
    m_transfers.cleanUpLeftovers();
    m_op.end();
}

void FileOperations::preparePopup(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    const QString name = item && item->kind == ItemKind::File ? itemName(*item) : QString();
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool show =
        !programSettings().SQLiteDatabaseBrowser.isEmpty() && dot >= 0 && name.mid(dot) == QStringLiteral(".db");
    for (auto item : {DevicePane::MenuItem::PullAndOpen, DevicePane::MenuItem::PullAndOpenSeparator})
        pane.menuAction(item)->setVisible(show);
}

void FileOperations::pullAndOpen(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    if (!item)
        return;
    const QString name = entryName(*item);
    const QString directory = pane.folder();
    const QString folder = chooseDirectoryFor(Chooser::Pull, m_window, QStringLiteral("Select directory:"));
    if (folder.isEmpty())
        return;
    const QString local = pcPath(folder, name);
    if (QFileInfo::exists(local) && prompter().askReplace(m_window, local, false) != ReplaceAnswer::Replace)
        return;
    const QStringList problems = m_transfers.pullOne(directory + name, folder, name);
    if (!problems.isEmpty()) {
        prompter().information(m_window, QStringLiteral("Pull failed: ") + problems.join(u'\n'));
        return;
    }
    startDatabaseBrowser(m_window, programSettings().SQLiteDatabaseBrowser, local);
}

void FileOperations::pushDroppedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    m_window->activateWindow();
    m_window->raise();
    PushTargetDialog form(m_left.folder(), m_right.folder(), PushTargetDialog::SdCard, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(paths.size()),
                QStringLiteral("Items source: ") + QFileInfo(paths.first()).absolutePath() + u'/',
                QStringLiteral("Items destination: ") + destination});
    QList<BatchRow> rows = pushedPathRows(paths, destination);
    m_transfers.pushRows(rows, destination, true);
    m_op.end(destination, Location::Phone);
}

void FileOperations::copyPcToPhone(FilePaneBase &pcPane, const QString &pcFolder, bool move)
{
    if (m_layout.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const int n = pcPane.selectedCount();
    if (!m_op.hasRows(n))
        return;
    CopyDialog form(pcFolder, m_right.folder(), m_window);
    if (move)
        form.setWindowTitle(kMoveTitle);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + pcFolder,
                QStringLiteral("Items destination: ") + destination});
    QList<BatchRow> rows = pcCopyRows(markedItems(pcPane), pcFolder, destination,
                                      [](const ListItem &item) { return copyLine(isFolder(item), entryName(item)); });
    if (move) {
        m_transfers.movePcRows(rows, destination);
        m_op.end(destination, Location::Phone);
        emit locationChanged(pcFolder, Location::Pc);
        return;
    }
    m_transfers.pushRows(rows, destination, true);
    m_op.end(destination, Location::Phone);
}

bool FileOperations::acceptDrop(const QListView *target, const QListView *source) const
{
    return target && source && target != source && target != m_lists.apps;
}

void FileOperations::dropRow(QListView *target, QListView *source)
{
    if (!acceptDrop(target, source))
        return;
    const ListItem *current = currentRow(source);
    if (!current)
        return;
    const ListItem item = *current;
    const QListView *right = m_right.list();
    const QListView *left = m_left.list();
    const bool phoneToPhone = (source == right && target == left) || (source == left && target == right);
    const bool phoneToPc = source == right && target == m_lists.pc;
    const bool pcToPhone = source == m_lists.pc && target == right;
    if (!phoneToPhone && !phoneToPc && !pcToPhone)
        return; // application rows arrive with the applications manager

    DevicePane &fromPane = source == right ? m_right : m_left;
    const QString sourceDir = pcToPhone ? m_layout.pcFolder() : fromPane.folder();
    const QString targetDir = phoneToPc ? m_layout.pcFolder() : (target == right ? m_right : m_left).folder();
    CopyDialog form(sourceDir, targetDir, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!phoneToPc && !m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: 1"), QStringLiteral("Items source: ") + sourceDir,
                QStringLiteral("Items destination: ") + destination});
    // A file on its way between the PC and the phone shows its bytes.
    if (phoneToPc) {
        m_transfers.pullItems({item}, sourceDir, destination, copyItemLine, false);
        m_op.end(destination, Location::Pc);
        return;
    }
    if (pcToPhone) {
        QList<BatchRow> rows = pcCopyRows({item}, sourceDir, destination, copyItemLine);
        m_transfers.pushRows(rows, destination, false);
    } else {
        m_transfers.copyItems({item}, sourceDir, destination, copyItemLine, false);
    }
    m_op.end(destination, Location::Phone);
}
