#include "files/devicepane.h"

#include "bridge/adbutils.h"
#include "files/filelistmodel.h"
#include "files/listingparser.h"
#include "shell/appstate.h"
#include "shell/prompter.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

// Object names of the two panes' controls: [0] right pane (FilesTab), [1] left pane (AndroidTab).
struct Names {
    const char *page, *address, *tabs, *copy, *push, *pull, *del, *refresh, *showSearch, *up, *list, *sort,
        *sortMenu, *byName, *byDate, *bySize, *selCount, *itemsCount, *searchPanel, *search, *clear, *listMenu,
        *pullAndOpen, *separator, *pullItem, *deleteItem, *renameItem, *selectAll, *unselectAll, *newDir,
        *refreshItem, *addressMenu, *addBookmark, *removeBookmark;
};
const Names kNames[2] = {
    {"FilesTab", "Adres", "DirsList", "LCopy", "btnPush", "btnPull", "btnDel", "btnRefresh", "ShowSearsh", "btnUp",
     "ListaPlikow", "btnSort", "SortType", "byName", "Date1", "Size1", "SelCount", "ItemsCount", "SPanel",
     "FQuickSearch", "btnFClear", "PFMenu", "PFPullAndOpen", "N22", "PFPull", "PFDelete", "PFRename", "PFSelectAll",
     "PFUnselectAll", "PFNewDir", "PFRefresh", "cmAddress", "Add2Bookmarks", "RemoveFromBookmarks"},
    {"AndroidTab", "Adres2", "DirsList2", "RCopy", "Button1", "Button2", "Button4", "btnRefresh2", "ShowSearsh2",
     "Button3", "ListaPlikow2", "btnSort2", "SortType2", "byName2", "MenuItem4", "MenuItem5", "SelCount2",
     "ItemsCount2", "SPanel2", "FQuickSearch2", "btnFClear2", "PFMenu2", "PFPullAndOpen2", "N23", "Pull2", "Delete2",
     "Rename2", "Seleckall2", "Unselectall2", "Newdirectory2", "Refresh3", "cmAddress2", "Add2Bookmarks2",
     "RemoveFromBookmarks2"},
};

const QStringList kSortCaptions{QStringLiteral("Sort by: Name"), QStringLiteral("Sort by: Date"),
                                QStringLiteral("Sort by: Size")};

} // namespace

DevicePane::DevicePane(Side side, TADB &adb, QWidget *parent) : FilePaneBase(parent), m_side(side), m_adb(adb)
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
    layout->addWidget(addressBox);
    QTabBar *tabs = createPathTabs(n.tabs, QStringLiteral("/"));
    layout->addWidget(tabs);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(2);
    QList<QPushButton *> commandRow;
    commandRow << button(this, n.copy, QStringLiteral("Copy"), QStringLiteral("Copy selected items"));
    commandRow << button(this, n.push, QStringLiteral("Push"),
                         QStringLiteral("Push files form PC to current phone directory"));
    commandRow << button(this, n.pull, QStringLiteral("Pull"), QStringLiteral("Pull selected items to your PC"));
    commandRow << button(this, n.del, QStringLiteral("Delete"), QStringLiteral("Delete selected items"));
    for (QPushButton *command : commandRow) {
        // The two panes share the window's width: captions may shrink rather than widen the window.
        command->setMinimumWidth(40);
        commands->addWidget(command);
    }
    commands->addStretch();
    auto *up = button(this, n.up, QStringLiteral("\u2191"), QStringLiteral("Go back"));
    up->setFixedWidth(30);
    commands->addWidget(up);
    commands->addWidget(createRefreshButton(n.refresh));
    commands->addWidget(createShowSearchButton(n.showSearch));
    if (m_side == Side::Left) {
        auto *swap = button(this, "btnSwapDirs", QStringLiteral("\u21C4"), QStringLiteral("Change Panels Directories"));
        swap->setFixedWidth(30);
        commands->addWidget(swap);
    }
    layout->addLayout(commands);

    layout->addWidget(createSearchPanel(n.searchPanel, n.search, n.clear));
    QListView *fileList = createList(n.list, FileRowDelegate::Pane::Device);
    layout->addWidget(fileList, 1);
    layout->addLayout(createFooter(n.sort, n.sortMenu, {n.byName, n.byDate, n.bySize}, kSortCaptions, n.selCount,
                                   n.itemsCount));

    m_listMenu = named(new QMenu(this), n.listMenu);
    named(m_listMenu->addAction(m_side == Side::Right ? QStringLiteral("Open in SQLite")
                                                       : QStringLiteral("Open on computer")),
          n.pullAndOpen);
    named(m_listMenu->addSeparator(), n.separator);
    named(m_listMenu->addAction(QStringLiteral("Pull")), n.pullItem);
    m_listMenu->addSeparator();
    named(m_listMenu->addAction(QStringLiteral("Delete")), n.deleteItem);
    named(m_listMenu->addAction(QStringLiteral("Rename")), n.renameItem);
    m_listMenu->addSeparator();
    QAction *selectAll = named(m_listMenu->addAction(QStringLiteral("Select all")), n.selectAll);
    QAction *unselectAll = named(m_listMenu->addAction(QStringLiteral("Unselect all")), n.unselectAll);
    m_listMenu->addSeparator();
    named(m_listMenu->addAction(QStringLiteral("New directory")), n.newDir);
    m_listMenu->addSeparator();
    QAction *refreshItem = named(m_listMenu->addAction(QStringLiteral("Refresh")), n.refreshItem);

    // Enter is taken before the box sees it: a text equal to a bookmark would otherwise list twice.
    addressBox->lineEdit()->installEventFilter(this);
    connect(addressBox, &QComboBox::activated, this, [this] {
        FillDeviceList(addressText());
        list()->setFocus();
    });
    connect(tabs, &QTabBar::tabBarClicked, this, &DevicePane::choosePathTab);
    connect(up, &QPushButton::clicked, this, &DevicePane::goUp);
    connect(refreshItem, &QAction::triggered, this, &DevicePane::refresh);
    connect(fileList, &QListView::doubleClicked, this, &DevicePane::openRow);
    connectCheckCommands(selectAll, unselectAll);
}

QPushButton *DevicePane::commandButton(const char *role) const
{
    return findChild<QPushButton *>(QLatin1String(role));
}

void DevicePane::FillDeviceList(const QString &path)
{
    if (beforeFill)
        beforeFill();
    const DeviceListing listing = ListDeviceFolder(m_adb, path, appState().ShortListing, sortMode());
    model()->setRows(listing.rows);
    // The tabs follow what is shown, also when a parent was listed instead; the box keeps its text.
    setPathTabs(FillPathTabs(listing.path));
    resetCounters();
}

void DevicePane::relist()
{
    FillDeviceList(addressText());
}

void DevicePane::enterAddress()
{
    QString text = addressText();
    if (!text.endsWith(u'/'))
        text += u'/';
    setAddressText(text);
    FillDeviceList(text);
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
    if (addressText() == path)
        return;
    setAddressText(path);
    FillDeviceList(path);
    list()->setFocus();
    if (!child.isEmpty())
        selectChildRow(child + u'/');
}

void DevicePane::goUp()
{
    const QString address = addressText();
    const QString parent = TADB::ParentDir(address);
    const QString child = address.mid(parent.size());
    setAddressText(parent);
    FillDeviceList(parent);
    selectChildRow(child);
    list()->setFocus();
}

void DevicePane::openRow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString name = ItemName(model()->item(index.row()));
    if (IsDirName(name)) {
        const QString path = addressText() + name;
        setAddressText(path);
        FillDeviceList(path);
    } else if (IsLinkName(name)) {
        if (!appState().BusyboxPresent) {
            prompter().information(this, QStringLiteral("You can not open Symlinks without BusyBox!"));
            return;
        }
        const QString target = m_adb.ReadLink(addressText() + StripNameSuffix(name), QString());
        // A relative target names a folder beside the link.
        const QString base = target.startsWith(u'/') ? QString() : addressText();
        const QString path = base + target + (target.endsWith(u'/') ? QString() : QStringLiteral("/"));
        setAddressText(path);
        FillDeviceList(path);
    } else {
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0 && name.mid(dot) == QStringLiteral(".apk") && openApk)
            openApk(addressText() + name);
    }
}

bool DevicePane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == address()->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enterAddress();
            return true;
        }
    }
    return FilePaneBase::eventFilter(watched, event);
}
