#include "appsui/appspane.h"

#include "apps/appinfo.h"
#include "apps/applisting.h"
#include "appsui/approwdelegate.h"
#include "apps/catalogue.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "lists/filelistmodel.h"
#include "lists/imagescale.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QStringList kSortCaptions{QStringLiteral("Sort by: Date"), QStringLiteral("Sort by: Size"),
                                QStringLiteral("Sort by: App Name"), QStringLiteral("Sort by: File Name")};

QStringList filterCaptions(AppsAccess access)
{
    if (access == AppsAccess::PackageManager)
        return {QStringLiteral("User Apps"), QStringLiteral("System Apps"), QStringLiteral("All Apps")};
    return {QStringLiteral("Protected"), QStringLiteral("Unprotected"), QStringLiteral("All Apps")};
}

} // namespace

AppsPane::AppsPane(AdbClient &adb, AppStorage &storage, OperationLog &log, QWidget *parent)
    : FilePaneBase(parent), m_adb(adb), m_storage(storage), m_log(log)
{
    build();
}

AppsLoader &AppsPane::loader()
{
    // The program's folders are known only once start-up has run.
    if (!m_loader) {
        m_loader = std::make_unique<AppsLoader>(m_adb, m_storage, appState().dataDir);
        m_reader = std::make_unique<AppInfoReader>(m_adb, appState().tempDir);
        m_updater = std::make_unique<AppsInfoUpdater>(*m_loader, *m_reader);
        m_background = new BackgroundInfoReader(m_adb, appState().dataDir, appState().tempDir, this);
        connect(m_background, &BackgroundInfoReader::packageRead, this, &AppsPane::packageRead);
        connect(m_background, &BackgroundInfoReader::progress, this, [this](int done, int total) {
            m_progress->setText(QStringLiteral("Reading labels and icons: %1 of %2").arg(done).arg(total));
        });
        connect(m_background, &BackgroundInfoReader::finished, this, [this] {
            m_progress->setVisible(false);
            emit infoReadFinished();
        });
    }
    return *m_loader;
}

AppsPane::~AppsPane() = default;

void AppsPane::build()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto *top = new QHBoxLayout;
    QWidget *search = createSearchPanel("AppsSearchPanel", "appsSearch", "appsSearchClear");
    search->setVisible(true);
    top->addWidget(search, 1);
    QPushButton *refresh = createRefreshButton("btnRefreshList");
    refresh->setToolTip(QStringLiteral("Refresh applications list"));
    top->addWidget(refresh);
    m_filterButton = named(new QToolButton(this), "btnAppsDir");
    m_filterButton->setPopupMode(QToolButton::InstantPopup);
    m_filterButton->setProperty("Tag", int(AppsFilter::All));
    auto *filterMenu = named(new QMenu(m_filterButton), "AppsDirMenu");
    for (int tag = 0; tag < 3; ++tag) {
        QAction *item = filterMenu->addAction(QString());
        item->setData(tag);
        connect(item, &QAction::triggered, this, [this, tag] { chooseFilter(AppsFilter(tag)); });
        m_filterItems << item;
    }
    m_filterButton->setMenu(filterMenu);
    top->addWidget(m_filterButton);
    layout->addLayout(top);

    auto *commands = new QHBoxLayout;
    const std::array<std::array<const char *, 3>, 4> buttons{{
        {"btnBackup", "Backup", "Backup selected applications"},
        {"btnUninstall", "Uninstall", "Uninstall selected applications"},
        {"btnInstall", "Install", "Install applications from your PC"},
        {"btnRip", "Backup", "Backup selected applications to your PC"},
    }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QPushButton *b = button(this, buttons[i][0], QLatin1String(buttons[i][1]), QLatin1String(buttons[i][2]));
        const auto command = Command(i);
        connect(b, &QPushButton::clicked, this, [this, command] { emit commandRequested(command); });
        commands->addWidget(b);
        m_commands[i] = b;
    }
    // Two buttons share the caption "Backup": an arrow tells where each one copies to.
    m_commands[std::size_t(Command::Backup)]->setText(QStringLiteral("\u2190 Backup"));
    m_commands[std::size_t(Command::BackupToPc)]->setText(QStringLiteral("Backup \u2192 PC"));
    commands->addStretch();
    layout->addLayout(commands);

    m_sourcePanel = named(new QWidget(this), "AppsSourcePanel");
    auto *sourceLayout = new QHBoxLayout(m_sourcePanel);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    m_source = named(new QTabBar(m_sourcePanel), "AppsSource");
    m_source->addTab(QStringLiteral("Memory Card"));
    m_source->addTab(QStringLiteral("Internal Memory"));
    sourceLayout->addWidget(m_source);
    sourceLayout->addStretch();
    m_sourcePanel->setVisible(false);
    connect(m_source, &QTabBar::currentChanged, this, &AppsPane::chooseSource);
    layout->addWidget(m_sourcePanel);

    m_note = named(new QLabel(this), "AppsNote");
    m_note->setStyleSheet(QStringLiteral("color: #a00000;"));
    m_note->setVisible(false);
    layout->addWidget(m_note);

    m_progress = named(new QLabel(this), "AppsProgress");
    m_progress->setVisible(false);
    layout->addWidget(m_progress);

    QListView *apps = createList("appsList", FileRowDelegate::Pane::Device);
    m_delegate = new AppRowDelegate(apps);
    apps->setItemDelegate(m_delegate);
    apps->setDragEnabled(true);
    layout->addWidget(apps, 1);
    connect(searchBox(), &QLineEdit::textChanged, this, &AppsPane::filterRows);
    connect(apps, &QListView::doubleClicked, this, [this] {
        if (currentRow())
            emit openInfoRequested();
    });

    layout->addLayout(createFooter("btnSortApps", "SortTypeApps",
                                   {"SortAppsDate", "SortAppsSize", "SortAppsLabel", "SortAppsName"}, kSortCaptions,
                                   "SelAppsCount", "CountInDir"));

    m_listMenu = named(new QMenu(this), "PMenu");
    auto item = [this](MenuItem which, const QString &caption, const char *name) {
        QAction *action = named(m_listMenu->addAction(caption), name);
        m_menuItems[std::size_t(which)] = action;
        connect(action, &QAction::triggered, this, [this, which] { emit menuRequested(which); });
        return action;
    };
    connect(item(MenuItem::OpenInfo, QStringLiteral("Open info"), "OpenInfo1"), &QAction::triggered, this,
            &AppsPane::openInfoRequested);
    m_listMenu->addSeparator();
    item(MenuItem::Backup, QStringLiteral("Backup"), "Backup1");
    item(MenuItem::Uninstall, QStringLiteral("Uninstall"), "Uninstall1");
    m_listMenu->addSeparator();
    item(MenuItem::Move, QStringLiteral("Move"), "Move1");
    item(MenuItem::MoveSelected, QStringLiteral("Move selected"), "MoveSelected1")->setEnabled(false);
    m_listMenu->addSeparator();
    QAction *selectAll = item(MenuItem::SelectAll, QStringLiteral("Select all"), "SelectAll1");
    QAction *unselectAll = item(MenuItem::UnselectAll, QStringLiteral("Unselect all"), "UnselectAll1");
    connectCheckCommands(selectAll, unselectAll);
    m_listMenu->addSeparator();
    connect(item(MenuItem::Refresh, QStringLiteral("Refresh"), "Refresh1"), &QAction::triggered, this,
            &FilePaneBase::refresh);
    m_listMenu->addSeparator();
    QMenu *reload = named(m_listMenu->addMenu(QStringLiteral("Reload info")), "ReloadInfo1");
    connect(named(reload->addAction(QStringLiteral("Application without info")), "ReloadMissing1"), &QAction::triggered,
            this, &AppsPane::updateMissingInfo);
    connect(named(reload->addAction(QStringLiteral("All applications")), "ReloadAll1"), &QAction::triggered, this,
            &AppsPane::reloadAllInfo);
    m_listMenu->setToolTipsVisible(true);

    showPhoneKind();
}

void AppsPane::showPhoneKind()
{
    const QStringList captions = filterCaptions(m_storage.access);
    for (int tag = 0; tag < m_filterItems.size(); ++tag)
        m_filterItems.at(tag)->setText(captions.at(tag));
    m_filterButton->setText(captions.at(int(m_filter)));
    m_sourcePanel->setVisible(m_storage.access == AppsAccess::Folders && !m_storage.altAppRoot.isEmpty());
    enableMove(true);
}

void AppsPane::enableMove(bool rowChosen)
{
    // Only an ext partition has a second place to move an application to, and only root may move it.
    QAction *move = menuAction(MenuItem::Move);
    const bool extPartition =
        m_storage.access == AppsAccess::Folders && m_storage.appStorageMode == AppStorageType::SdExt;
    move->setEnabled(rowChosen && extPartition && appState().rootAccess);
    move->setToolTip(!extPartition            ? QStringLiteral("The phone keeps no applications on an ext partition")
                     : !appState().rootAccess ? QStringLiteral("Moving applications needs root access")
                                              : QString());
}

void AppsPane::firstVisit()
{
    if (!m_loaded) {
        m_loaded = true;
        emit loadingStarted();
        fillFromPhone();
        emit loadingFinished();
        m_otherRows.clear();
    }
    list()->setFocus();
}

void AppsPane::relist()
{
    // A new filter or order makes the other tab's rows out of date.
    m_otherValid = false;
    loadApplications();
}

void AppsPane::loadApplications()
{
    fillFromPhone();
}

void AppsPane::packagesChanged()
{
    m_otherValid = false;
    loadApplications();
}

bool AppsPane::isReadingInfo() const
{
    return m_background && m_background->isRunning();
}

void AppsPane::fillFromPhone()
{
    emit storageChanged();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    loader();
    // A newer listing replaces the reading of the old one; what was read is in the catalogue already.
    m_background->stop();
    const AppsLoad load =
        loader().load(m_filter, AppsSort(sortIndex()), appState().shortListing, m_source->currentIndex() == 0);
    m_secureShown = load.secure;
    fill(load);
    if (!load.toRead.isEmpty()) {
        m_progress->setText(QStringLiteral("Reading labels and icons: 0 of %1").arg(load.toRead.size()));
        m_progress->setVisible(true);
        m_background->start(load.toRead, loader().phoneStreams(), loader().commandLimit(), loader().iconHint());
    } else {
        m_progress->setVisible(false);
    }
    QApplication::restoreOverrideCursor();
}

void AppsPane::packageRead(const QString &key, const QString &label, const QString &versionCode)
{
    const AppCatalogue catalogue = AppCatalogue::forDataDir(appState().dataDir);
    // Where the package manager gave no version, the one read from the APK is shown.
    const auto update = [&](ListItem &row) {
        row.label = label;
        if (row.facts.versionCode.isEmpty())
            row.facts.versionCode = versionCode;
    };
    for (ListItem &row : m_otherRows) {
        if (appCatalogueKey(row) == key)
            update(row);
    }
    QList<QPixmap> icons = m_delegate->icons();
    for (int i = 0; i < model()->rowCount(); ++i) {
        ListItem row = model()->item(i);
        if (appCatalogueKey(row) != key)
            continue;
        update(row);
        model()->updateItem(i, row);
        if (i < icons.size())
            icons[i] = m_iconCache.icon(catalogue.iconPath(key), AppRowDelegate::genericIcon());
    }
    m_delegate->setIcons(std::move(icons));
    list()->viewport()->update();
    // A label read now may match the search.
    filterRows();
}

void AppsPane::filterRows()
{
    const QString text = searchBox()->text().trimmed();
    const QList<int> matching = matchingRows(text);
    // No text, or the grey placeholder: every row.
    const bool all = rowsWithLabel({text}, text).isEmpty();
    for (int i = 0; i < model()->rowCount(); ++i)
        list()->setRowHidden(i, !all && !matching.contains(i));
    // One row stays highlighted, the current one when it still shows: the commands act on what is seen.
    if (!all && !matching.isEmpty()) {
        const int current = list()->currentIndex().row();
        const int row = matching.contains(current) ? current : matching.first();
        list()->selectionModel()->setCurrentIndex(model()->index(row), QItemSelectionModel::ClearAndSelect);
    }
}

void AppsPane::fill(const AppsLoad &load)
{
    model()->setRows(load.rows);
    setRowIcons();
    filterRows();
    resetCounters();
    m_note->setText(load.notes.isEmpty() ? QString() : escapeControls(load.notes.first()));
    m_note->setToolTip(load.notes.join(u'\n'));
    m_note->setVisible(!load.notes.isEmpty());
}

void AppsPane::setRowIcons()
{
    const AppCatalogue catalogue = AppCatalogue::forDataDir(appState().dataDir);
    const QPixmap generic = AppRowDelegate::genericIcon();
    QList<QPixmap> icons;
    icons.reserve(model()->rowCount());
    for (const ListItem &row : model()->rows())
        icons << m_iconCache.icon(catalogue.iconPath(appCatalogueKey(row)), generic);
    m_delegate->setIcons(std::move(icons));
    list()->viewport()->update();
}

const QList<QPixmap> &AppsPane::rowIcons() const
{
    return m_delegate->icons();
}

void AppsPane::updateMissingInfo()
{
    loader();
    m_background->stop();
    m_updater->updateMissingInfo(model()->rows(), m_secureShown, m_log);
    loadApplications();
}

void AppsPane::reloadAllInfo()
{
    if (!prompter().question(window(),
                             QStringLiteral("Reload the icons and names of all applications now? This takes a moment.")))
        return;
    loader();
    m_background->stop();
    m_updater->reloadAllInfo(model()->rows(), m_secureShown, m_log);
    loadApplications();
}

void AppsPane::chooseFilter(AppsFilter filter)
{
    m_filter = filter;
    m_filterButton->setProperty("Tag", int(filter));
    m_filterButton->setText(filterCaptions(m_storage.access).at(int(filter)));
    refreshButton()->setEnabled(false);
    m_otherValid = false;
    loadApplications();
    list()->setFocus();
    refreshButton()->setEnabled(true);
}

void AppsPane::chooseSource(int index)
{
    if (!m_loaded)
        return;
    refreshButton()->setEnabled(false);
    const QList<ListItem> left = model()->rows();
    // The loader reads the tab's folders from the storage paths.
    AppStorage &storage = m_storage;
    if (index == 0 && storage.appStorageMode == AppStorageType::Asec) {
        storage.appDir = storage.privateAppDir = QStringLiteral("/mnt/asec/");
    } else if (index == 0) {
        storage.appDir = QStringLiteral("/sd-ext/app/");
        storage.privateAppDir = QStringLiteral("/sd-ext/app-private/");
    } else {
        storage.appDir = QStringLiteral("/data/app/");
        storage.privateAppDir = QStringLiteral("/data/app-private/");
    }
    if (m_otherValid) {
        m_secureShown = loader().showsSecure(index == 0);
        model()->setRows(m_otherRows);
        setRowIcons();
        filterRows();
    } else {
        m_otherValid = true;
        emit loadingStarted();
        fillFromPhone();
        emit loadingFinished();
    }
    m_otherRows = left;
    resetCounters();
    list()->setFocus();
    refreshButton()->setEnabled(true);
}

QList<int> AppsPane::matchingRows(const QString &text) const
{
    // The applications are searched by label and by package name.
    QStringList labels;
    for (const ListItem &item : model()->rows())
        labels << itemLabel(item) + u'\n' + packageOfAppName(item.name);
    return rowsWithLabel(labels, text);
}

void AppsPane::prepareListMenu()
{
    const bool row = currentRow() != nullptr;
    for (MenuItem item : {MenuItem::OpenInfo, MenuItem::Backup, MenuItem::Uninstall})
        menuAction(item)->setEnabled(row);
    enableMove(row);
}

const ListItem *AppsPane::currentRow() const
{
    const QModelIndex index = list()->currentIndex();
    if (!index.isValid() || index.row() >= model()->rowCount())
        return nullptr;
    return &model()->item(index.row());
}

QList<ListItem> AppsPane::checkedRows() const
{
    QList<ListItem> rows;
    for (int row : markedRows())
        rows << model()->item(row);
    return rows;
}
