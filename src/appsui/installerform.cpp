#include "appsui/installerform.h"

#include "apps/apkarchive.h"
#include "apps/apkfile.h"
#include "apps/appbackup.h"
#include "apps/appinfo.h"
#include "appsui/approwdelegate.h"
#include "lists/listengine.h"
#include "appsui/installerrowdelegate.h"
#include "appsui/installtarget.h"
#include "appsui/packagerow.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "lists/filelistmodel.h"
#include "lists/imagescale.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

const QStringList kSortCaptions{QStringLiteral("Sort by: App Name"), QStringLiteral("Sort by: File Name"),
                                QStringLiteral("Sort by: Size")};
constexpr std::array<InstallerSort, 3> kSorts{InstallerSort::AppName, InstallerSort::FileName, InstallerSort::Size};

QString readStamp(const QFileInfo &info)
{
    return info.filePath() + u'|' + QString::number(info.size()) + u'|' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

QString tempRoot()
{
    return appState().tempDir.isEmpty() ? QDir::tempPath() : appState().tempDir;
}

QStringList localPaths(const QMimeData *data)
{
    QStringList paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

QStringList chooseInstallSources(QWidget *parent, const QString &start)
{
    return prompter().chooseFilesOrFolders(parent, QStringLiteral("Choose APK files or folders to install"),
                                           QStringLiteral("Android packages (*.apk *.apks)"), start);
}

QString noApplicationsText(const QStringList &sources)
{
    const bool folders =
        std::any_of(sources.cbegin(), sources.cend(), [](const QString &path) { return QFileInfo(path).isDir(); });
    return folders ? QStringLiteral("There are no applications in this directory.")
                   : QStringLiteral("There are no applications among these files.");
}

InstallerPane::InstallerPane(AdbClient &adb, OperationLog &log, InstallTarget *target, QWidget *parent)
    : FilePaneBase(parent), m_adb(adb), m_log(log), m_target(target)
{
    setObjectName(QStringLiteral("InstallerForm"));
    // A window of its own unless it is placed inside one (InstallerDialog).
    if (!parent)
        setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Velbrook - Applications Installer"));
    resize(445, 505);
    setAcceptDrops(true);
    build();
}

void InstallerPane::build()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(named(new QLabel(QStringLiteral("Applications source:"), this), "lSourceCaption"));
    m_source = named(new QLabel(this), "lSource");
    m_source->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sourceRow->addWidget(m_source, 1);
    QPushButton *sourceButton = button(this, "btnSource", QStringLiteral("\u2026"), QStringLiteral("Change Source"));
    sourceButton->setFixedWidth(30);
    connect(sourceButton, &QPushButton::clicked, this, &InstallerPane::changeSource);
    sourceRow->addWidget(sourceButton);
    // Its own button: a refresh reads the folder again, where the sort menu only reorders.
    QPushButton *refresh = button(this, "btnRefresh", QStringLiteral("\u21BB"), QStringLiteral("Refresh"));
    refresh->setFixedWidth(30);
    connect(refresh, &QPushButton::clicked, this, &InstallerPane::reload);
    sourceRow->addWidget(refresh);
    layout->addLayout(sourceRow);

    auto *commands = new QHBoxLayout;
    QPushButton *install =
        button(this, "btnInstallApps", QStringLiteral("Install"), QStringLiteral("Install selected applications"));
    QPushButton *rename =
        button(this, "btnRename", QStringLiteral("Rename"), QStringLiteral("Rename selected applications"));
    QPushButton *remove =
        button(this, "deleteButton", QStringLiteral("Delete"), QStringLiteral("Delete selected applications"));
    connect(install, &QPushButton::clicked, this, &InstallerPane::installChecked);
    connect(rename, &QPushButton::clicked, this, &InstallerPane::renameChecked);
    connect(remove, &QPushButton::clicked, this, &InstallerPane::deleteChecked);
    commands->addWidget(install);
    commands->addWidget(rename);
    commands->addWidget(remove);
    commands->addStretch();
    layout->addLayout(commands);

    QWidget *search = createSearchPanel("InstallerSearchPanel", "QSearch", "btnClear");
    search->setVisible(true);
    layout->addWidget(search);

    QListView *apps = createList("AppsList", FileRowDelegate::Pane::Pc);
    m_delegate = new InstallerRowDelegate(apps);
    apps->setItemDelegate(m_delegate);
    layout->addWidget(apps, 1);
    connect(apps, &QListView::doubleClicked, this, &InstallerPane::showInfo);

    layout->addLayout(createFooter("btnSortApps", "SortTypeApps", {"SortAppName", "SortFileName", "SortSize"},
                                   kSortCaptions, "lSelected", "lCount"));

    m_listMenu = named(new QMenu(this), "PopupMenu");
    m_openInfo = named(m_listMenu->addAction(QStringLiteral("Open Info")), "OpenInfo");
    connect(m_openInfo, &QAction::triggered, this, &InstallerPane::showInfo);
    m_listMenu->addSeparator();
    m_delete = named(m_listMenu->addAction(QStringLiteral("Delete")), "Delete");
    connect(m_delete, &QAction::triggered, this, &InstallerPane::deleteCurrent);
    m_listMenu->addSeparator();
    connectCheckCommands(named(m_listMenu->addAction(QStringLiteral("Select all")), "SelectAll"),
                         named(m_listMenu->addAction(QStringLiteral("Unselect all")), "UnselectAll"));
    resetCounters();
}

bool InstallerPane::loadFolder(const QString &folder)
{
    return loadSources({folder});
}

bool InstallerPane::addSources(const QStringList &paths)
{
    QStringList sources = m_sources;
    for (const QString &path : paths) {
        if (!sources.contains(path))
            sources << path;
    }
    return loadSources(sources);
}

QString InstallerPane::sourceText() const
{
    QStringList shown;
    for (const QString &path : m_sources)
        shown << QDir::toNativeSeparators(path);
    return shown.join(QStringLiteral("; "));
}

bool InstallerPane::loadSources(const QStringList &paths)
{
    InstallerReadOptions options;
    options.tempDir = tempRoot();
    options.iconsDir = appState().iconsDir;
    if (!appState().dataDir.isEmpty())
        options.cacheFile = appState().dataDir + QStringLiteral("/installer.json");

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const InstallerFolder read = readInstallerSources(paths, options);
    showRows(read.rows);
    QApplication::restoreOverrideCursor();
    // What is no package is told once, and not kept for the next reading.
    m_sources = paths;
    for (const QString &path : read.notPackages)
        m_sources.removeAll(path);
    m_source->setText(sourceText());
    m_source->setToolTip(m_source->text().replace(QStringLiteral("; "), QStringLiteral("\n")));

    for (const QString &path : read.unreadable) {
        const QFileInfo file(path);
        const QString stamp = readStamp(file);
        if (!m_reported.contains(stamp)) {
            m_reported.insert(stamp);
            prompter().information(this, QStringLiteral("The program could not read the file ") + file.fileName());
        }
    }
    if (!read.notPackages.isEmpty()) {
        QStringList names;
        for (const QString &path : read.notPackages)
            names << QDir::toNativeSeparators(path);
        prompter().information(this, QStringLiteral("Left out, as only APK and .apks files and folders can be "
                                                    "installed:\n\n") +
                                         names.join(u'\n'));
    }
    return !read.rows.isEmpty();
}

void InstallerPane::reload()
{
    if (!m_sources.isEmpty())
        loadSources(m_sources);
    list()->setFocus();
}

void InstallerPane::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void InstallerPane::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drag has ended: a message about the files must not open inside the drag's own loop.
    QTimer::singleShot(0, this, [this, paths] {
        addSources(paths);
        list()->setFocus();
    });
}

void InstallerPane::relist()
{
    showRows(m_rows);
}

void InstallerPane::showRows(QList<InstallerRow> rows)
{
    sortInstallerRows(rows, kSorts.at(std::size_t(sortIndex())));
    m_rows = std::move(rows);
    QList<ListItem> items;
    QList<QPixmap> icons;
    items.reserve(m_rows.size());
    icons.reserve(m_rows.size());
    for (const InstallerRow &row : m_rows) {
        ListItem item;
        item.name = row.fileName;
        item.label = row.label;
        item.sizeText = QString::number(row.sizeKb);
        items << item;
        icons << iconFor(row);
    }
    m_delegate->setRows(m_rows, std::move(icons));
    model()->setRows(std::move(items));
    resetCounters();
    list()->viewport()->update();
}

QPixmap InstallerPane::iconFor(const InstallerRow &row)
{
    if (appState().iconsDir.isEmpty())
        return AppRowDelegate::genericIcon();
    return m_icons.icon(appState().iconsDir + u'/' + row.package + QStringLiteral(".apk.png"),
                        AppRowDelegate::genericIcon());
}

QList<InstallerRow> InstallerPane::checkedRows() const
{
    QList<InstallerRow> rows;
    for (int row : markedRows())
        rows << m_rows.at(row);
    return rows;
}

const InstallerRow *InstallerPane::currentRow() const
{
    const QModelIndex index = list()->currentIndex();
    if (!index.isValid() || index.row() >= m_rows.size())
        return nullptr;
    return &m_rows.at(index.row());
}

QList<int> InstallerPane::matchingRows(const QString &text) const
{
    QStringList labels;
    for (const InstallerRow &row : m_rows)
        labels << row.label;
    return rowsWithLabel(labels, text);
}

void InstallerPane::prepareListMenu()
{
    const bool row = currentRow() != nullptr;
    m_openInfo->setEnabled(row);
    m_delete->setEnabled(row);
}

bool InstallerPane::ensureChecked(const QList<InstallerRow> &rows)
{
    if (!rows.isEmpty())
        return true;
    prompter().information(this, QStringLiteral("Check or highlight at least one package first."));
    return false;
}

void InstallerPane::installChecked()
{
    const QList<InstallerRow> rows = checkedRows();
    if (!ensureChecked(rows))
        return;
    if (m_target && !m_target->devicePresent()) {
        prompter().stop(this, QStringLiteral("Velbrook"), QStringLiteral("Connect a device first."));
        return;
    }
    InstallDialog form(m_target ? m_target->installChoices() : InstallChoices{}, this);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString options = form.installOptions();

    Operation op(this, m_adb, m_log, {});
    const int n = int(rows.size());
    op.begin({QStringLiteral("Apps count: ") + QString::number(n), QStringLiteral("Apps source: ") + sourceText()});
    int done = 0;
    int failed = 0;
    for (int k = 0; k < n; ++k) {
        const InstallerRow &row = rows.at(k);
        if (!op.row(k + 1, n, QStringLiteral("Installing app: ") + row.fileName))
            break;
        const InstallResult result = installPackageFile(m_adb, row.path, options, appState().dataDir, tempRoot());
        if (!finishPackageRow(op, result.output, result.answer))
            break;
        ++(result.answer.ok ? done : failed);
    }
    op.line(QStringLiteral("Installed: %1, failed: %2").arg(done).arg(failed));
    op.end();
    if (done > 0)
        emit installed();
}

void InstallerPane::renameChecked()
{
    const QList<InstallerRow> rows = checkedRows();
    if (!ensureChecked(rows) ||
        !prompter().question(this, QStringLiteral("Rename the selected files after their applications? (for example: Name Version.apk)")))
        return;
    Operation op(this, m_adb, m_log, {});
    const int n = int(rows.size());
    op.begin({QStringLiteral("Files count: ") + QString::number(n), QStringLiteral("Files source: ") + sourceText()});
    // The names each folder's renames took.
    QHash<QString, QSet<QString>> produced;
    for (int k = 0; k < n; ++k) {
        const InstallerRow &row = rows.at(k);
        if (!op.row(k + 1, n, QStringLiteral("Renaming file: ") + row.fileName))
            break;
        const QString folder = QFileInfo(row.path).absolutePath();
        const RenameResult result = renameInstallerFile(row, folder, produced[folder]);
        if (result.outcome == RenameResult::Failed) {
            op.line(QStringLiteral("Failed: ") + result.reason);
            op.tally(RowOutcome::Failed, result.reason);
        } else {
            op.line(QStringLiteral("Rename complete") +
                    (result.name == row.fileName ? QString() : QStringLiteral(": ") + result.name));
            op.tally(RowOutcome::Done);
        }
        op.gap();
    }
    op.end();
    reload();
}

void InstallerPane::deleteChecked()
{
    const QList<InstallerRow> rows = checkedRows();
    QStringList names;
    for (const InstallerRow &row : rows)
        names << row.fileName;
    if (ensureChecked(rows) && prompter().question(this, deleteQuestion(names)))
        deleteRows(rows);
}

void InstallerPane::deleteCurrent()
{
    const InstallerRow *row = currentRow();
    if (row && prompter().question(this, deleteQuestion({row->fileName})))
        deleteRows({*row});
}

void InstallerPane::deleteRows(const QList<InstallerRow> &rows)
{
    Operation op(this, m_adb, m_log, {});
    const int n = int(rows.size());
    op.begin({QStringLiteral("Files count: ") + QString::number(n), QStringLiteral("Files source: ") + sourceText()});
    for (int k = 0; k < n; ++k) {
        const InstallerRow &row = rows.at(k);
        if (!op.row(k + 1, n, QStringLiteral("Deleting file: ") + row.fileName))
            break;
        const QString reason = deleteInstallerFile(row.path);
        op.line(reason.isEmpty() ? QStringLiteral("Delete complete") : QStringLiteral("Failed: ") + reason);
        op.gap();
        op.tally(reason.isEmpty() ? RowOutcome::Done : RowOutcome::Failed, reason);
    }
    op.end();
    reload();
}

void InstallerPane::changeSource()
{
    const QString start = m_sources.isEmpty() ? QString() : m_sources.first();
    const QStringList chosen = chooseInstallSources(this, QFileInfo(start).isDir() ? start : QFileInfo(start).path());
    if (chosen.isEmpty())
        return;
    if (!loadSources(chosen))
        prompter().information(this, noApplicationsText(chosen));
    list()->setFocus();
}

void InstallerPane::showInfo()
{
    if (const InstallerRow *row = currentRow())
        emit infoRequested(row->path);
}

InstallerDialog::InstallerDialog(AdbClient &adb, OperationLog &log, InstallTarget *target, QWidget *parent)
    : QDialog(parent), m_form(new InstallerPane(adb, log, target, this))
{
    setObjectName(QStringLiteral("InstallerDialog"));
    setWindowTitle(QStringLiteral("Velbrook - Applications Installer"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    resize(445, 505);
}
