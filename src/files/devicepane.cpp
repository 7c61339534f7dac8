#include "files/devicepane.h"

#include "bridge/adbutils.h"
#include "files/filelistmodel.h"
#include "files/filerowdelegate.h"
#include "files/listengine.h"
#include "files/listingparser.h"
#include "shell/appstate.h"
#include "shell/prompter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
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

const QString kSearchPlaceholder = QStringLiteral("Quick Search");
const QString kSortCaptions[3] = {QStringLiteral("Sort by: Name"), QStringLiteral("Sort by: Date"),
                                  QStringLiteral("Sort by: Size")};

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setToolTip(hint);
    return b;
}

} // namespace

DevicePane::DevicePane(Side side, TADB &adb, QWidget *parent) : QWidget(parent), m_side(side), m_adb(adb)
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

    m_address = named(new QComboBox(this), n.address);
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setEditText(QStringLiteral("/"));
    m_address->setContextMenuPolicy(Qt::CustomContextMenu);
    m_address->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(m_address);

    m_tabs = named(new QTabBar(this), n.tabs);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->addTab(QStringLiteral("/"));
    layout->addWidget(m_tabs);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(2);
    const QString copyHint = QStringLiteral("Copy selected items");
    commands->addWidget(button(this, n.copy, QStringLiteral("Copy"), copyHint));
    commands->addWidget(button(this, n.push, QStringLiteral("Push"),
                               QStringLiteral("Push files form PC to current phone directory")));
    commands->addWidget(button(this, n.pull, QStringLiteral("Pull"), QStringLiteral("Pull selected items to your PC")));
    commands->addWidget(button(this, n.del, QStringLiteral("Delete"), QStringLiteral("Delete selected items")));
    commands->addStretch();
    auto *up = button(this, n.up, QStringLiteral("\u2191"), QStringLiteral("Go back"));
    m_refresh = button(this, n.refresh, QStringLiteral("\u21BB"), QStringLiteral("Refresh directory"));
    auto *showSearch = button(this, n.showSearch, QStringLiteral("\U0001F50D"), QStringLiteral("Show/Hide Quick Search"));
    for (QPushButton *b : {up, m_refresh, showSearch})
        b->setFixedWidth(30);
    commands->addWidget(up);
    commands->addWidget(m_refresh);
    commands->addWidget(showSearch);
    if (m_side == Side::Left) {
        auto *swap = button(this, "btnSwapDirs", QStringLiteral("\u21C4"), QStringLiteral("Change Panels Directories"));
        swap->setFixedWidth(30);
        commands->addWidget(swap);
    }
    layout->addLayout(commands);

    m_searchPanel = named(new QWidget(this), n.searchPanel);
    auto *searchLayout = new QHBoxLayout(m_searchPanel);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    m_search = named(new QLineEdit(m_searchPanel), n.search);
    m_search->installEventFilter(this);
    auto *clear = button(m_searchPanel, n.clear, QStringLiteral("\u2715"), QStringLiteral("Clear Quick Search"));
    clear->setFixedWidth(30);
    searchLayout->addWidget(m_search);
    searchLayout->addWidget(clear);
    m_searchPanel->setVisible(false);
    layout->addWidget(m_searchPanel);
    setSearchPlaceholder(true);

    m_model = new FileListModel(this);
    m_list = named(new QListView(this), n.list);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new FileRowDelegate(FileRowDelegate::Pane::Device, m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setStyleSheet(QStringLiteral("QListView { background: white; }"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->installEventFilter(this);
    layout->addWidget(m_list, 1);

    auto *footer = new QHBoxLayout;
    m_sortButton = named(new QToolButton(this), n.sort);
    m_sortButton->setText(kSortCaptions[0]);
    m_sortButton->setToolTip(QStringLiteral("Select Sort Type"));
    m_sortButton->setPopupMode(QToolButton::InstantPopup);
    m_sortButton->setProperty("Tag", 0);
    auto *sortMenu = named(new QMenu(m_sortButton), n.sortMenu);
    const char *sortNames[3] = {n.byName, n.byDate, n.bySize};
    for (int mode = 0; mode < 3; ++mode) {
        QAction *action = named(sortMenu->addAction(kSortCaptions[mode]), sortNames[mode]);
        connect(action, &QAction::triggered, this, [this, mode] { chooseSort(mode); });
    }
    m_sortButton->setMenu(sortMenu);
    m_selCount = button(this, n.selCount, QStringLiteral("Selected: 0"), QStringLiteral("Reverse selection"));
    m_itemsCount = button(this, n.itemsCount, QStringLiteral("Count: 0"), QStringLiteral("Select/Unselect All"));
    footer->addWidget(m_sortButton);
    footer->addStretch();
    footer->addWidget(m_selCount);
    footer->addWidget(m_itemsCount);
    layout->addLayout(footer);

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

    m_addressMenu = named(new QMenu(this), n.addressMenu);
    QAction *copy = m_addressMenu->addAction(QStringLiteral("Copy"));
    QAction *paste = m_addressMenu->addAction(QStringLiteral("Paste"));
    m_addressMenu->addSeparator();
    named(m_addressMenu->addAction(QStringLiteral("Add to bookmarks")), n.addBookmark);
    named(m_addressMenu->addAction(QStringLiteral("Remove from bookmarks")), n.removeBookmark);

    connect(m_address->lineEdit(), &QLineEdit::returnPressed, this, &DevicePane::enterAddress);
    connect(m_address, &QComboBox::activated, this, [this] {
        FillDeviceList(addressText());
        m_list->setFocus();
    });
    connect(m_address, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_addressMenu->popup(m_address->mapToGlobal(pos)); });
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(addressText()); });
    connect(paste, &QAction::triggered, this, [this] { m_address->lineEdit()->insert(QApplication::clipboard()->text()); });
    connect(m_tabs, &QTabBar::tabBarClicked, this, &DevicePane::choosePathTab);
    connect(up, &QPushButton::clicked, this, &DevicePane::goUp);
    connect(m_refresh, &QPushButton::clicked, this, &DevicePane::refresh);
    connect(refreshItem, &QAction::triggered, this, &DevicePane::refresh);
    connect(showSearch, &QPushButton::clicked, this, [this] { m_searchPanel->setVisible(!m_searchPanel->isVisible()); });
    connect(clear, &QPushButton::clicked, this, [this] {
        m_search->clear();
        m_search->setFocus();
    });
    connect(m_search, &QLineEdit::textChanged, this, &DevicePane::searchChanged);
    connect(m_list, &QListView::doubleClicked, this, &DevicePane::openRow);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_listMenu->popup(m_list->viewport()->mapToGlobal(pos)); });
    connect(m_model, &FileListModel::checkClicked, this, [this] { setSelectedCount(CountChecked(m_model->checks())); });
    connect(m_selCount, &QPushButton::clicked, this, [this] {
        QList<bool> checks = m_model->checks();
        const int count = InvertChecks(checks, m_selectedCount);
        m_model->setChecks(checks);
        setSelectedCount(count);
    });
    connect(m_itemsCount, &QPushButton::clicked, this, [this] { setChecks(ToggleAllByFirst); });
    connect(selectAll, &QAction::triggered, this, [this] { setChecks(CheckAll); });
    connect(unselectAll, &QAction::triggered, this, [this] { setChecks(UncheckAll); });
}

QPushButton *DevicePane::commandButton(const char *role) const
{
    return findChild<QPushButton *>(QLatin1String(role));
}

QString DevicePane::addressText() const
{
    return m_address->currentText();
}

void DevicePane::setAddressText(const QString &text)
{
    m_address->setEditText(text);
}

void DevicePane::FillDeviceList(const QString &path)
{
    if (beforeFill)
        beforeFill();
    const DeviceListing listing = ListDeviceFolder(m_adb, path, appState().ShortListing, m_sortMode);
    m_model->setRows(listing.rows);

    // The tabs follow what is shown, also when a parent was listed instead; the box keeps its text.
    const QStringList tabs = FillPathTabs(listing.path);
    const QSignalBlocker block(m_tabs);
    while (m_tabs->count() > 0)
        m_tabs->removeTab(0);
    for (const QString &tab : tabs)
        m_tabs->addTab(tab);
    m_tabs->setCurrentIndex(m_tabs->count() - 1);

    setSelectedCount(0);
    m_itemsCount->setText(QStringLiteral("Count: ") + QString::number(m_model->rowCount()));
}

void DevicePane::refresh()
{
    m_refresh->setEnabled(false);
    QCoreApplication::processEvents();
    FillDeviceList(addressText());
    m_list->setFocus();
    m_refresh->setEnabled(true);
}

void DevicePane::enterAddress()
{
    QString text = addressText();
    if (!text.endsWith(u'/'))
        text += u'/';
    setAddressText(text);
    FillDeviceList(text);
    m_list->setFocus();
}

void DevicePane::choosePathTab(int index)
{
    if (index < 0)
        return;
    const QString child = index + 1 < m_tabs->count() ? m_tabs->tabText(index + 1) : QString();
    QString path = QStringLiteral("/");
    for (int i = 1; i <= index; ++i)
        path += m_tabs->tabText(i) + u'/';
    if (addressText() == path)
        return;
    setAddressText(path);
    FillDeviceList(path);
    m_list->setFocus();
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
    m_list->setFocus();
}

void DevicePane::selectChildRow(const QString &name)
{
    const QList<ListItem> &rows = m_model->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (ItemName(rows.at(i)) == name) {
            const QModelIndex index = m_model->index(i);
            m_list->setCurrentIndex(index);
            // Leave a few rows of context above the row the user came from.
            m_list->scrollTo(m_model->index(std::max(0, i - 5)), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void DevicePane::openRow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString name = ItemName(m_model->item(index.row()));
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

void DevicePane::setSelectedCount(int count)
{
    m_selectedCount = count;
    m_selCount->setText(QStringLiteral("Selected: ") + QString::number(count));
}

void DevicePane::setChecks(int (*operation)(QList<bool> &))
{
    QList<bool> checks = m_model->checks();
    const int count = operation(checks);
    m_model->setChecks(checks);
    setSelectedCount(count);
}

void DevicePane::chooseSort(int mode)
{
    m_sortMode = mode;
    m_sortButton->setProperty("Tag", mode);
    m_sortButton->setText(kSortCaptions[mode]);
    FillDeviceList(addressText());
    m_list->setFocus();
}

void DevicePane::searchChanged(const QString &text)
{
    QItemSelection selection;
    for (int row : SelectMatching(m_model->rows(), text))
        selection.select(m_model->index(row), m_model->index(row));
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void DevicePane::setSearchPlaceholder(bool placeholder)
{
    QPalette palette = m_search->palette();
    palette.setColor(QPalette::Text, placeholder ? QColor(0x80, 0x80, 0x80) : QApplication::palette().color(QPalette::WindowText));
    m_search->setPalette(palette);
    if (placeholder)
        m_search->setText(kSearchPlaceholder);
}

bool DevicePane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search) {
        if (event->type() == QEvent::FocusIn && m_search->text().trimmed() == kSearchPlaceholder) {
            m_search->clear();
            setSearchPlaceholder(false);
        } else if (event->type() == QEvent::FocusOut && m_search->text().trimmed().isEmpty()) {
            setSearchPlaceholder(true);
        }
        return false;
    }
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::MiddleButton || (mouse->button() == Qt::LeftButton &&
                                                     (mouse->modifiers() & Qt::ControlModifier))) {
            // Flips the mark of the row under the pointer; the counter is recounted on the next box click.
            if (index.isValid()) {
                m_list->setCurrentIndex(index);
                m_model->toggleCheck(index.row());
            }
            return true;
        }
        if (mouse->button() == Qt::RightButton && index.isValid())
            m_list->setCurrentIndex(index);
    }
    return QWidget::eventFilter(watched, event);
}
