#include "files/devicepane.h"

#include "apps/apkfile.h"
#include "bridge/adbutils.h"
#include "bridge/commandrunner.h"
#include "lists/filelistmodel.h"
#include "bridge/listingparser.h"
#include "base/appstate.h"
#include "base/prompter.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Object names of the two panes' controls: [0] right pane (FilesTab), [1] left pane (AndroidTab).
struct Names {
    const char *page, *address, *tabs, *copy, *push, *pull, *del, *refresh, *showSearch, *up, *list, *sort, *sortMenu,
        *byName, *byDate, *bySize, *selCount, *itemsCount, *searchPanel, *search, *clear, *listMenu, *pullAndOpen,
        *separator, *pullItem, *deleteItem, *renameItem, *selectAll, *unselectAll, *newDir, *refreshItem, *addressMenu,
        *addBookmark, *removeBookmark;
};
// A table reads best one row a line.
// clang-format off
const Names kNames[2] = {
    {"FilesTab", "addressBox", "DirsList", "LCopy", "btnPush", "btnPull", "btnDel", "btnRefresh", "ShowSearsh", "btnUp",
     "fileList", "btnSort", "SortType", "byName", "byDate", "bySize", "SelCount", "ItemsCount", "searchPanel",
     "FQuickSearch", "btnFClear", "PFMenu", "PFPullAndOpen", "listMenuSeparator", "PFPull", "PFDelete", "PFRename", "PFSelectAll",
     "PFUnselectAll", "PFNewDir", "PFRefresh", "cmAddress", "Add2Bookmarks", "RemoveFromBookmarks"},
    {"AndroidTab", "addressBox2", "DirsList2", "RCopy", "btnPush2", "btnPull2", "btnDel2", "btnRefresh2", "ShowSearsh2",
     "btnUp2", "fileList2", "btnSort2", "SortType2", "byName2", "byDate2", "bySize2", "SelCount2",
     "ItemsCount2", "searchPanel2", "FQuickSearch2", "btnFClear2", "PFMenu2", "PFPullAndOpen2", "listMenuSeparator2", "PFPull2", "PFDelete2",
     "PFRename2", "PFSelectAll2", "PFUnselectAll2", "PFNewDir2", "PFRefresh2", "cmAddress2", "Add2Bookmarks2",
     "RemoveFromBookmarks2"},
};
// clang-format on

// The sort menu's entries, in menu order.
const QStringList kSortCaptions{QStringLiteral("Sort by: Name"), QStringLiteral("Sort by: Date"),
                                QStringLiteral("Sort by: Size")};
const DeviceSort kSortOrders[] = {DeviceSort::Name, DeviceSort::Date, DeviceSort::Size};

} // namespace

DevicePane::DevicePane(Side side, AdbClient &adb, QWidget *parent) : FilePaneBase(parent), m_side(side), m_adb(adb)
{
    build();
}

void DevicePane::build()
{
    const Names &n = kNames[m_side == Side::Right ? 0 : 1];
    setObjectName(QLatin1String(n.page));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    QComboBox *addressBox = createAddressBox(n.address, n.addressMenu, n.addBookmark, n.removeBookmark);
    addressBox->setEditText(QStringLiteral("/"));
    auto *top = new QHBoxLayout;
    top->addWidget(addressBox, 1);
    top->addWidget(createBookmarksButton(m_side == Side::Right ? "bookmarksButton" : "bookmarksButton2"));
    layout->addLayout(top);
    QTabBar *tabs = createPathTabs(n.tabs, QStringLiteral("/"));
    layout->addWidget(tabs);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(2);
    m_commands = {
        button(this, n.copy, QStringLiteral("Copy"), QStringLiteral("Copy selected items (F5; F6 moves them)")),
        button(this, n.push, QStringLiteral("Push"), QStringLiteral("Push files from the PC to the current phone directory")),
        button(this, n.pull, QStringLiteral("Pull"), QStringLiteral("Pull selected items to your PC")),
        button(this, n.del, QStringLiteral("Delete"), QStringLiteral("Delete selected items (F8 or Delete)"))};
    for (QPushButton *command : m_commands) {
        // The two panes share the window's width: captions may shrink rather than widen the window.
        command->setMinimumWidth(40);
        commands->addWidget(command);
    }
    commands->addStretch();
    auto *up = button(this, n.up, QStringLiteral("\u2191"), QStringLiteral("Go up one folder (Backspace)"));
    up->setFixedWidth(30);
    commands->addWidget(up);
    commands->addWidget(createRefreshButton(n.refresh));
    refreshButton()->setToolTip(QStringLiteral("Refresh directory (Ctrl+R)"));
    commands->addWidget(createShowSearchButton(n.showSearch));
    if (m_side == Side::Left) {
        m_swap = button(this, "btnSwapDirs", QStringLiteral("\u21C4"), QStringLiteral("Change Panels Directories"));
        m_swap->setFixedWidth(30);
        commands->addWidget(m_swap);
    }
    layout->addLayout(commands);

    layout->addWidget(createSearchPanel(n.searchPanel, n.search, n.clear));
    m_note = named(new QLabel(this), m_side == Side::Right ? "ListNote" : "ListNote2");
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setVisible(false);
    layout->addWidget(m_note);
    QListView *fileList = createList(n.list, FileRowDelegate::Pane::Device);
    layout->addWidget(fileList, 1);
    layout->addLayout(
        createFooter(n.sort, n.sortMenu, {n.byName, n.byDate, n.bySize}, kSortCaptions, n.selCount, n.itemsCount));

    m_listMenu = named(new QMenu(this), n.listMenu);
    auto item = [this](MenuItem which, QAction *action) { m_menuItems.at(std::size_t(which)) = action; };
    item(MenuItem::PullAndOpen, named(m_listMenu->addAction(m_side == Side::Right ? QStringLiteral("Open in SQLite")
                                                                                  : QStringLiteral("Open on computer")),
                                      n.pullAndOpen));
    item(MenuItem::PullAndOpenSeparator, named(m_listMenu->addSeparator(), n.separator));
    item(MenuItem::Pull, named(m_listMenu->addAction(QStringLiteral("Pull")), n.pullItem));
    m_listMenu->addSeparator();
    item(MenuItem::Delete, named(m_listMenu->addAction(QStringLiteral("Delete")), n.deleteItem));
    item(MenuItem::Rename, named(m_listMenu->addAction(QStringLiteral("Rename")), n.renameItem));
    m_listMenu->addSeparator();
    QAction *selectAll = named(m_listMenu->addAction(QStringLiteral("Select all")), n.selectAll);
    QAction *unselectAll = named(m_listMenu->addAction(QStringLiteral("Unselect all")), n.unselectAll);
    m_listMenu->addSeparator();
    item(MenuItem::NewDirectory, named(m_listMenu->addAction(QStringLiteral("New directory")), n.newDir));
    m_listMenu->addSeparator();
    QAction *refreshItem = named(m_listMenu->addAction(QStringLiteral("Refresh")), n.refreshItem);

    // Keys while the list has the focus; the menu shows them beside its items.
    bindKeys(menuAction(MenuItem::Rename), {Qt::Key_F2});
    bindKeys(menuAction(MenuItem::NewDirectory), {Qt::Key_F7});
    bindKeys(refreshItem, {QKeySequence(Qt::CTRL | Qt::Key_R)});
    showKeys(menuAction(MenuItem::Delete), {Qt::Key_F8, Qt::Key_Delete});
    showKeys(selectAll, {QKeySequence::SelectAll});
    // The command buttons' keys act as the buttons do: on the marked rows, and not while a button is off.
    auto clickKey = [this](const char *name, const QString &text, const QList<QKeySequence> &keys,
                           QPushButton *target) {
        connect(keyCommand(name, text, keys), &QAction::triggered, target, [target] {
            if (target->isEnabled())
                target->click();
        });
    };
    const bool right = m_side == Side::Right;
    clickKey(right ? "copyKey" : "copyKey2", QStringLiteral("Copy"), {Qt::Key_F5}, commandButton(Command::Copy));
    clickKey(right ? "deleteKey" : "deleteKey2", QStringLiteral("Delete"), {Qt::Key_F8, Qt::Key_Delete},
             commandButton(Command::Delete));
    m_move = keyCommand(right ? "moveKey" : "moveKey2", QStringLiteral("Move"), {Qt::Key_F6});

    // Enter is taken before the box sees it: a text equal to a bookmark would otherwise list twice.
    // The keys reach the box itself when it has the focus, its line edit only when a test sends them there.
    addressBox->installEventFilter(this);
    addressBox->lineEdit()->installEventFilter(this);
    connect(addressBox, &QComboBox::activated, this, [this] {
        QString text = addressText();
        if (!text.endsWith(u'/'))
            text += u'/';
        fillDeviceList(text);
        list()->setFocus();
    });
    connect(tabs, &QTabBar::tabBarClicked, this, &DevicePane::choosePathTab);
    connect(up, &QPushButton::clicked, this, &DevicePane::goUp);
    connect(refreshItem, &QAction::triggered, this, &DevicePane::refresh);
    connect(fileList, &QListView::doubleClicked, this, &DevicePane::openRow);
    connectCheckCommands(selectAll, unselectAll);
}

DeviceSort DevicePane::sortOrder() const
{
    return kSortOrders[sortIndex()];
}

bool DevicePane::fillDeviceList(const QString &path)
{
    // One navigation at a time: the one running gives way and its rows are never shown.
    if (m_listing)
        m_listing->cancel();
    const quint64 generation = ++m_generation;
    auto token = std::make_shared<CancelToken>();
    m_listing = token;
    // The list is off while it loads, which takes the focus away; keys must find it there again.
    const bool listFocused = list()->hasFocus();
    setBusy(path);

    AdbClient adb(m_adb);
    adb.setCancelToken(token);
    DeviceListing listing = listDeviceFolder(adb, path, appState().shortListing, sortOrder());
    if (generation != m_generation)
        return false;
    if (token->isCancelled()) {
        listing.ok = false;
        listing.error = QStringLiteral("cancelled");
    }
    m_listing.reset();
    setBusy(QString());
    if (listFocused)
        list()->setFocus();

    if (!listing.ok) {
        setNote(listingNote(listing), listing.problems, true);
        if (m_folder.isEmpty() && path != QStringLiteral("/")) {
            // Nothing shown yet (a remembered folder that is gone): the nearest folder above that lists, with
            // the reason it is shown instead.
            const QString reason = note();
            const QString parent = AdbClient::parentDir(path);
            fillDeviceList(parent.size() < path.size() ? parent : QStringLiteral("/"));
            if (!m_folder.isEmpty())
                setNote(reason, listing.problems, true);
            return false;
        }
        setAddressText(m_folder);
        return false;
    }
    m_folder = path;
    model()->setRows(listing.rows);
    setAddressText(path);
    setPathTabs(fillPathTabs(path));
    resetCounters();
    setNote(listingNote(listing), listing.problems, false);
    return true;
}

void DevicePane::setBusy(const QString &path)
{
    const bool busy = !path.isEmpty();
    // Rows of the folder shown before must not be acted on while another one loads.
    list()->setEnabled(!busy);
    for (QPushButton *command : m_commands)
        command->setEnabled(!busy);
    if (busy) {
        setAddressText(path);
        setNote(QStringLiteral("Listing ") + escapeControls(path) + QStringLiteral("\u2026"), {}, false);
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void DevicePane::setNote(const QString &text, const QStringList &details, bool error)
{
    m_note->setText(text);
    m_note->setToolTip(escapeControls(details.join(u'\n')));
    m_note->setStyleSheet(error ? QStringLiteral("color: rgb(170, 0, 0)") : QStringLiteral("color: rgb(96, 96, 96)"));
    m_note->setVisible(!text.isEmpty());
}

void DevicePane::cancelListing()
{
    if (m_listing)
        m_listing->cancel();
}

QString DevicePane::note() const
{
    return m_note->text();
}

void DevicePane::relist()
{
    fillDeviceList(m_folder.isEmpty() ? addressText() : m_folder);
}

void DevicePane::openBookmark(const QString &folder)
{
    setAddressText(folder);
    enterAddress();
}

void DevicePane::enterAddress()
{
    QString text = addressText();
    if (!text.endsWith(u'/'))
        text += u'/';
    fillDeviceList(text);
    list()->setFocus();
}

void DevicePane::choosePathTab(int index)
{
    if (index < 0)
        return;
    const QTabBar *tabs = pathTabs();
    const QString child = index + 1 < tabs->count() ? tabs->tabText(index + 1) : QString();
    QString path = QStringLiteral("/");
    for (int i = 1; i <= index; ++i)
        path += tabs->tabText(i) + u'/';
    if (m_folder == path && !isListing())
        return;
    if (fillDeviceList(path)) {
        list()->setFocus();
        if (!child.isEmpty())
            selectChildRow(child + u'/');
    }
}

void DevicePane::goUp()
{
    const QString from = m_folder.isEmpty() ? addressText() : m_folder;
    const QString parent = AdbClient::parentDir(from);
    const QString child = from.mid(parent.size());
    if (fillDeviceList(parent))
        selectChildRow(child);
    list()->setFocus();
}

void DevicePane::openCurrentRow()
{
    openRow(list()->currentIndex());
}

void DevicePane::openRow(const QModelIndex &index)
{
    if (!index.isValid() || isListing())
        return;
    const ListItem row = model()->item(index.row());
    const QString folder = m_folder;
    if (isFolder(row)) {
        fillDeviceList(folder + entryName(row) + u'/');
    } else if (isLink(row)) {
        openLink(row);
    } else if (row.kind == ItemKind::File) {
        const QString &name = itemName(row);
        if (isPackageFileName(name))
            emit apkOpened(folder + name);
    }
}

void DevicePane::openLink(const ListItem &row)
{
    if (!appState().busyboxPresent && !appState().readlinkPresent) {
        prompter().information(this, QStringLiteral("Opening symbolic links needs BusyBox on this phone."));
        return;
    }
    const QString folder = m_folder;
    const QString target = m_adb.readLink(folder + entryName(row), QString());
    if (target.isEmpty() || target == QStringLiteral("error") || target.contains(u'\n') ||
        target.startsWith(QStringLiteral("readlink:")) || isAdbError(target)) {
        setNote(QStringLiteral("Cannot open the link ") + displayName(row) +
                    (target.isEmpty() ? QString() : QStringLiteral(": ") + escapeControls(target)),
                {}, true);
        return;
    }
    // A relative target names a folder beside the link.
    const QString base = target.startsWith(u'/') ? QString() : folder;
    const QString path = QDir::cleanPath(base + target);
    fillDeviceList(path.endsWith(u'/') ? path : path + u'/');
}

bool DevicePane::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == address() || watched == address()->lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enterAddress();
            return true;
        }
    }
    return FilePaneBase::eventFilter(watched, event);
}
