#include "files/pcpane.h"

#include "apps/apkfile.h"
#include "apps/badging.h"
#include "bridge/adbutils.h"
#include "files/filedialogs.h"
#include "widgets/fileicons.h"
#include "lists/filelistmodel.h"
#include "lists/listengine.h"
#include "widgets/filerowdelegate.h"
#include "lists/pcfolder.h"
#include "platform/localfiles.h"
#include "base/appstate.h"
#include "base/chooserfolders.h"
#include "base/prompter.h"
#include "base/settings.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The sort menu's entries, in menu order.
const QStringList kSortCaptions{QStringLiteral("Sort by: Name"), QStringLiteral("Sort by: Size")};
const PcSort kSortOrders[] = {PcSort::Name, PcSort::Size};
constexpr int kDrivesWidening = 150;

// A name typed for a new folder must stay one entry of the current folder.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") && !name.contains(u'/') &&
           !name.contains(platform::pcSeparator());
}

} // namespace

PcPane::PcPane(AdbClient &adb, QWidget *parent) : FilePaneBase(parent), m_adb(adb)
{
    build();
}

void PcPane::build()
{
    setObjectName(QStringLiteral("WindowsTab"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto *top = new QHBoxLayout;
    m_drives = named(new QComboBox(this), "DrivesCombo");
    // Mount points can be long; the box stays compact and its list shows them whole.
    m_drives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_drives->setMinimumContentsLength(6);
    m_drives->installEventFilter(this);
    fillDrives(false);
    QComboBox *addressBox = createAddressBox("pcAddress", "cmCPAddress", "Add2BookmarksCP", "RemoveFromBookmarksCP");
    // The box hands its focus and keys on to its edit without the edit's filters seeing them.
    addressBox->installEventFilter(this);
    addressBox->lineEdit()->installEventFilter(this);
    top->addWidget(m_drives);
    top->addWidget(addressBox, 1);
    top->addWidget(createBookmarksButton("pcBookmarksButton"));
    layout->addLayout(top);
    QTabBar *tabs = createPathTabs("CPDirsList", QString());
    layout->addWidget(tabs);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(2);
    m_copy = button(this, "CpCopy", QStringLiteral("Copy"),
                    QStringLiteral("Copy selected items to the phone (F5; F6 moves them)"));
    auto *newDir =
        button(this, "btnNewDirectoryCP", QStringLiteral("New Dir"), QStringLiteral("Create new directory (F7)"));
    m_installer = button(this, "btnShowApps", QStringLiteral("Installer"),
                         QStringLiteral("Open the checked APK files in the Applications Installer, or this folder "
                                        "when none is checked"));
    for (QPushButton *command : {m_copy, newDir, m_installer}) {
        // Captions may shrink rather than widen the window the two panes share.
        command->setMinimumWidth(40);
        commands->addWidget(command);
    }
    commands->addStretch();
    m_apkDetails = button(this, "ApkInfoIcon", QStringLiteral("APK"),
                          QStringLiteral("Show or hide the details of APK files in the list (this slows down loading a lot; not "
                                         "recommended)"));
    m_apkDetails->setCheckable(true);
    auto *back = button(this, "upButton", QStringLiteral("\u2191"), QStringLiteral("Go up one folder (Backspace)"));
    back->setFixedWidth(30);
    commands->addWidget(m_apkDetails);
    commands->addWidget(back);
    commands->addWidget(createRefreshButton("CRefresh"));
    refreshButton()->setToolTip(QStringLiteral("Refresh directory (Ctrl+R)"));
    commands->addWidget(createShowSearchButton("CShowSearsh"));
    layout->addLayout(commands);

    layout->addWidget(createSearchPanel("CSPanel", "CQuickSearch", "btnCClear"));
    QListView *fileList = createList("pcList", FileRowDelegate::Pane::Pc);
    layout->addWidget(fileList, 1);
    layout->addLayout(createFooter("btnSortCP", "SortTypeCP", {"byNameCP", "MenuItem8"}, kSortCaptions, "cpSelCount",
                                   "cpItemsCount"));

    m_listMenu = named(new QMenu(this), "PCMenu");
    QAction *open = named(m_listMenu->addAction(QStringLiteral("Open")), "Open1");
    m_listMenu->addSeparator();
    QAction *selectAll = named(m_listMenu->addAction(QStringLiteral("Select all")), "Selecktall1");
    QAction *unselectAll = named(m_listMenu->addAction(QStringLiteral("Unselect all")), "Unselectall3");
    m_listMenu->addSeparator();
    QAction *newDirItem = named(m_listMenu->addAction(QStringLiteral("New directory")), "Newdirectory1");
    m_deleteSeparator = named(m_listMenu->addSeparator(), "pcListMenuSeparator");
    m_deleteItem = named(m_listMenu->addAction(QStringLiteral("Delete")), "CPDelete");
    m_listMenu->addSeparator();
    QAction *refreshItem = named(m_listMenu->addAction(QStringLiteral("Refresh")), "Refresh4");
    m_listMenu->addSeparator();

    // Keys while the list has the focus; the menu shows them beside its items.
    showKeys(open, {Qt::Key_Return});
    showKeys(selectAll, {QKeySequence::SelectAll});
    bindKeys(newDirItem, {Qt::Key_F7});
    bindKeys(refreshItem, {QKeySequence(Qt::CTRL | Qt::Key_R)});
    // The menu's Delete hides on folder rows; the keys stay and leave folders alone as it does.
    showKeys(m_deleteItem, {Qt::Key_F8, Qt::Key_Delete});
    connect(keyCommand("pcDeleteKey", QStringLiteral("Delete"), {Qt::Key_F8, Qt::Key_Delete}), &QAction::triggered,
            this, &PcPane::deleteFile);
    connect(keyCommand("pcCopyKey", QStringLiteral("Copy"), {Qt::Key_F5}), &QAction::triggered, this, [this] {
        if (m_copy->isEnabled())
            m_copy->click();
    });
    connect(keyCommand("pcMoveKey", QStringLiteral("Move"), {Qt::Key_F6}), &QAction::triggered, this, [this] {
        if (m_copy->isEnabled())
            emit moveToDeviceRequested();
    });

    connect(addressBox, &QComboBox::activated, this, &PcPane::chooseAddressEntry);
    connect(m_drives, &QComboBox::currentIndexChanged, this, &PcPane::driveChanged);
    connect(tabs, &QTabBar::tabBarClicked, this, &PcPane::choosePathTab);
    connect(m_copy, &QPushButton::clicked, this, &PcPane::copyToDeviceRequested);
    connect(m_installer, &QPushButton::clicked, this, &PcPane::openInstaller);
    connect(newDir, &QPushButton::clicked, this, &PcPane::newDirectory);
    connect(newDirItem, &QAction::triggered, this, &PcPane::newDirectory);
    connect(m_apkDetails, &QPushButton::clicked, this, &PcPane::setShowApkDetails);
    connect(back, &QPushButton::clicked, this, &PcPane::goBack);
    connect(refreshItem, &QAction::triggered, this, &PcPane::refresh);
    connect(m_deleteItem, &QAction::triggered, this, &PcPane::deleteFile);
    connect(open, &QAction::triggered, this, [this] { openRow(list()->currentIndex()); });
    connect(fileList, &QListView::doubleClicked, this, &PcPane::openRow);
    connectCheckCommands(selectAll, unselectAll);
}

void PcPane::listPcFolder(const QString &folder)
{
    // A folder removed meanwhile, or remembered from an earlier run, shows where its nearest parent is, so
    // that no command acts under an address that is not there.
    const QString path = platform::nearestPcFolder(platform::normalPcFolder(folder, m_folder));
    PcListOptions options;
    options.showHidden = programSettings().showHiddenPcFiles;
    options.showApkDetails = m_showApkDetails;
    options.sortMode = kSortOrders[sortIndex()];
    options.readDetails = [this](const QString &apk) {
        // Several at once: each with an adb client of its own.
        AdbClient adb = m_adb;
        const ApkBadging badging = readBadging(adb, apk);
        return ApkDetails{badging.package, badging.label, badging.versionName};
    };
    const QList<ListItem> rows = readPcFolder(path, options);

    QList<QPixmap> icons;
    if (m_showApkDetails) {
        for (const QImage &image : loadApkRowIcons(rows, appState().iconsDir, fileIcons().at(IconApk).toImage()))
            icons << QPixmap::fromImage(image);
    }
    if (auto *delegate = qobject_cast<FileRowDelegate *>(list()->itemDelegate()))
        delegate->setApkDetails(m_showApkDetails, std::move(icons));
    model()->setRows(rows);

    m_folder = path;
    setPcPaneFolder(path);
    setPathTabs(fillPcPathTabs(path));
    resetCounters();
    setAddressText(path);
    selectDriveFor(path);
}

void PcPane::relist()
{
    listPcFolder(m_folder.isEmpty() ? addressText() : m_folder);
}

void PcPane::enterAddress()
{
    openAddress(m_lastAddress);
}

void PcPane::chooseAddressEntry()
{
    // The drop-down keeps folders that may have gone since.
    openAddress(m_folder);
}

void PcPane::openAddress(const QString &restore)
{
    const QString path = platform::normalPcFolder(addressText(), m_folder);
    if (!QFileInfo(path).isDir()) {
        prompter().information(this, QStringLiteral("The directory does not exist."));
        setAddressText(restore);
        return;
    }
    listPcFolder(path);
    list()->setFocus();
}

void PcPane::openBookmark(const QString &folder)
{
    setAddressText(folder);
    openAddress(m_folder);
}

void PcPane::choosePathTab(int index)
{
    if (index < 0)
        return;
    QStringList tabs;
    for (int i = 0; i < pathTabs()->count(); ++i)
        tabs << pathTabs()->tabText(i);
    const QString path = platform::pcPathFromTabs(tabs, index);
    if (path == m_folder)
        return;
    const QString child = tabs.value(index + 1);
    listPcFolder(path);
    list()->setFocus();
    if (!child.isEmpty())
        selectChildRow(child + platform::pcSeparator());
}

void PcPane::openRow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const ListItem &row = model()->item(index.row());
    const QString name = itemName(row);
    if (isFolder(row)) {
        listPcFolder(m_folder + name);
    } else if (isPackageFileName(name)) {
        emit apkOpened(m_folder + name);
    } else {
        prompter().openExternal(QUrl::fromLocalFile(m_folder + name));
    }
}

void PcPane::openCurrentRow()
{
    openRow(list()->currentIndex());
}

void PcPane::goBack()
{
    const QString parent = platform::pcParentFolder(m_folder);
    if (parent.isEmpty())
        return;
    const QString child = m_folder.mid(parent.size());
    listPcFolder(parent);
    selectChildRow(child);
    list()->setFocus();
}

void PcPane::newDirectory()
{
    RenameDialog dialog(QStringLiteral("New directory"), QStringLiteral("NewDir"), window());
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    const QString name = dialog.name();
    // A folder that exists already or cannot be made is not reported; the list shows what is there.
    if (isPlainName(name))
        QDir(m_folder).mkdir(name);
    listPcFolder(m_folder);
    selectChildRow(name + platform::pcSeparator());
    list()->setFocus();
}

void PcPane::deleteFile()
{
    const QModelIndex index = list()->currentIndex();
    if (!index.isValid())
        return;
    // Only files are deleted from this pane; folders never.
    const ListItem &row = model()->item(index.row());
    if (isFolder(row))
        return;
    const QString name = itemName(row);
    if (!prompter().question(this, deleteQuestion({name})))
        return;
    QFile file(m_folder + name);
    if (!file.remove())
        prompter().information(this, QStringLiteral("\"") + name + QStringLiteral("\" could not be deleted: ") +
                                         file.errorString());
    refresh();
}

void PcPane::prepareListMenu()
{
    const QModelIndex index = list()->currentIndex();
    const bool folderRow = index.isValid() && isFolder(model()->item(index.row()));
    m_deleteItem->setVisible(!folderRow);
    m_deleteSeparator->setVisible(!folderRow);
}

void PcPane::setShowApkDetails(bool on)
{
    m_showApkDetails = on;
    m_apkDetails->setChecked(on);
    relist();
    list()->setFocus();
}

void PcPane::openInstaller()
{
    QStringList paths;
    for (int row : model()->checkedRows()) {
        const ListItem &item = model()->item(row);
        const QString name = itemName(item);
        if (isFolder(item) || isPackageFileName(name))
            paths << m_folder + name;
    }
    emit installRequested(paths.isEmpty() ? QStringList{m_folder} : paths);
}

void PcPane::driveChanged(int index)
{
    if (index < 0)
        return;
    listPcFolder(m_drives->itemData(index).toString());
    list()->setFocus();
}

void PcPane::selectDriveFor(const QString &folder)
{
    QList<platform::PcVolume> volumes;
    for (int i = 0; i < m_drives->count(); ++i)
        volumes << platform::PcVolume{m_drives->itemData(i).toString(), {}, {}};
    // Only the user's choice of a drive lists its root.
    const QSignalBlocker block(m_drives);
    m_drives->setCurrentIndex(platform::pcVolumeIndexFor(volumes, folder));
}

void PcPane::fillDrives(bool details)
{
    {
        const QSignalBlocker block(m_drives);
        m_drives->clear();
        for (const platform::PcVolume &volume : platform::pcVolumes()) {
            QString text = volume.root;
            if (details) {
                if (!volume.label.isEmpty())
                    text += QStringLiteral(" [") + volume.label + u']';
                if (!volume.fileSystem.isEmpty())
                    text += QStringLiteral(" (") + volume.fileSystem + u')';
            }
            m_drives->addItem(text, volume.root);
        }
        m_drives->view()->setMinimumWidth(m_drives->view()->sizeHintForColumn(0) + 24);
    }
    selectDriveFor(m_folder);
}

bool PcPane::eventFilter(QObject *watched, QEvent *event)
{
    if (address() && (watched == address() || watched == address()->lineEdit())) {
        if (event->type() == QEvent::FocusIn) {
            m_lastAddress = addressText();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            // Handled here, before the box would take Enter as the choice of a matching entry.
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                enterAddress();
                return true;
            }
        }
    } else if (watched == m_drives && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
               static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
        // Volumes come and go: the box is read anew, with labels and file systems while it is in use.
        if (event->type() == QEvent::FocusIn && !m_drivesWide) {
            m_drivesWide = true;
            fillDrives(true);
            m_drives->setMinimumWidth(m_drives->sizeHint().width() + kDrivesWidening);
        } else if (event->type() == QEvent::FocusOut && m_drivesWide) {
            m_drivesWide = false;
            for (int i = 0; i < m_drives->count(); ++i)
                m_drives->setItemText(i, m_drives->itemData(i).toString());
            m_drives->setMinimumWidth(0);
        }
    }
    return FilePaneBase::eventFilter(watched, event);
}
