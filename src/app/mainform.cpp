#include "app/mainform.h"

#include "apps/appstorage.h"
#include "app/loadingdlg.h"
#include "appsui/appoperations.h"
#include "appsui/appspane.h"
#include "bridge/statusmonitor.h"
#include "base/bookmarks.h"
#include "files/devicepane.h"
#include "lists/filelistmodel.h"
#include "files/fileoperations.h"
#include "files/pcpane.h"
#include "platform/platform.h"
#include "app/progressdlg.h"
#include "app/settingsdlg.h"
#include "base/prompter.h"
#include "deviceui/consolepane.h"
#include "deviceui/sizeinfo.h"
#include "device/storagestatus.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

MainWindow::MainWindow(StartOptions options, QWidget *parent) : QMainWindow(parent), m_options(std::move(options))
{
    setObjectName(QStringLiteral("MainForm"));
    m_adb = std::make_unique<AdbClient>();
    m_adb->setCancelToken(std::make_shared<CancelToken>());
    setWindowTitle(QStringLiteral("Velbrook"));
    resize(780, 580);
    m_logDialog = new OperationLogDialog(this);
    buildFrame();
    buildMenu();
}

MainWindow::~MainWindow()
{
    stopMonitor();
}

void MainWindow::buildFrame()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_pageTabs = named(new QTabWidget(central), "pageTabs");
    m_pageTabs->setTabPosition(QTabWidget::South);
    m_filesPage = named(new QWidget(m_pageTabs), "filesPage");
    auto *sheet1 = new QHBoxLayout(m_filesPage);
    sheet1->setContentsMargins(2, 2, 2, 2);
    m_paneSplitter = named(new QSplitter(Qt::Horizontal, m_filesPage), "Splitter");
    m_paneSplitter->setChildrenCollapsible(false);
    m_leftTabs = named(new QTabWidget(m_paneSplitter), "leftTabs");
    m_rightTabs = named(new QTabWidget(m_paneSplitter), "rightTabs");
    m_paneSplitter->addWidget(m_leftTabs);
    m_paneSplitter->addWidget(m_rightTabs);
    sheet1->addWidget(m_paneSplitter);

    m_pcPane = new PcPane(*m_adb, m_leftTabs);
    m_pcTab = m_pcPane;
    m_pcAddress = m_pcPane->address();
    m_pcList = m_pcPane->list();
    m_devicePane2 = new DevicePane(DevicePane::Side::Left, *m_adb, m_leftTabs);
    m_leftPhoneTab = m_devicePane2;
    m_leftTabs->addTab(m_pcTab, platform::pcFilesCaption());
    m_leftTabs->addTab(m_leftPhoneTab, QStringLiteral("Android Files"));
    m_devicePane = new DevicePane(DevicePane::Side::Right, *m_adb, m_rightTabs);
    m_rightPhoneTab = m_devicePane;
    connect(m_devicePane2->swapButton(), &QPushButton::clicked, this, &MainWindow::swapDirectories);
    m_appsTab = named(buildAppsPane(), "AppsTab");
    m_rightTabs->addTab(m_rightPhoneTab, QStringLiteral("Android Files"));
    m_rightTabs->addTab(m_appsTab, QStringLiteral("Applications Manager"));

    m_consolePage = named(buildConsole(), "consolePage");
    m_pageTabs->addTab(m_filesPage, QStringLiteral("Velbrook"));
    m_pageTabs->addTab(m_consolePage, QStringLiteral("Console"));
    // A user who opens the console types a command next.
    connect(m_pageTabs, &QTabWidget::currentChanged, this, [this] {
        if (m_pageTabs->currentWidget() == m_consolePage)
            m_consolePane->commandBox()->setFocus();
    });

    for (QListView *list : {m_devicePane->list(), m_devicePane2->list(), m_pcList, m_appsList})
        enableRowDragging(list);

    connect(m_rightTabs, &QTabWidget::currentChanged, this, &MainWindow::pageChanged);
    connect(m_leftTabs, &QTabWidget::currentChanged, this,
            [this] { (m_leftTabs->currentWidget() == m_pcTab ? m_pcList : m_devicePane2->list())->setFocus(); });

    layout->addWidget(m_pageTabs, 1);
    layout->addWidget(buildStatusPanel());
    setCentralWidget(central);
}

QWidget *MainWindow::buildAppsPane()
{
    m_appsPane = new AppsPane(*m_adb, appStorage(), *m_logDialog, m_rightTabs);
    m_appsList = m_appsPane->list();
    m_appsSourcePanel = m_appsPane->sourcePanel();
    m_appsSourceTabs = m_appsPane->sourceTabs();
    connect(m_appsPane, &AppsPane::loadingStarted, this, &MainWindow::showLoading);
    connect(m_appsPane, &AppsPane::loadingFinished, this, &MainWindow::hideLoading);
    connect(m_appsPane, &AppsPane::storageChanged, this, &MainWindow::updateStorageStatus);
    return m_appsPane;
}

void MainWindow::showLoading()
{
    if (m_loading)
        return;
    m_loading = std::make_unique<LoadingDialog>(this);
    m_loading->setCancelAction([this] { m_adb->cancelToken()->cancel(); });
    m_loading->show();
}

void MainWindow::hideLoading()
{
    m_loading.reset();
    m_adb->cancelToken()->reset();
}

QWidget *MainWindow::buildConsole()
{
    m_consolePane = new ConsolePane(*m_adb, *m_logDialog, this);
    return m_consolePane;
}

QWidget *MainWindow::buildStatusPanel()
{
    auto *panel = named(new QWidget(this), "StatusPanel");
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    m_rootButton = named(new QPushButton(QStringLiteral("Root access:"), panel), "RootPanel");
    m_rootButton->setEnabled(false);
    layout->addWidget(m_rootButton);
    const struct {
        QPushButton **button;
        const char *name;
        StorageKind kind;
    } buttons[] = {{&m_dataFreeButton, "btnDataFree", StorageKind::Data},
                   {&m_sdFreeButton, "btnSDFree", StorageKind::Sd},
                   {&m_extFreeButton, "btnExtFree", StorageKind::Ext}};
    for (const auto &entry : buttons) {
        auto *button = named(new QPushButton(panel), entry.name);
        button->setFixedWidth(120);
        button->setToolTip(QStringLiteral("Click for more info"));
        connect(button, &QPushButton::clicked, this, [this, kind = entry.kind] { btnSDFreeClick(kind); });
        layout->addWidget(button);
        *entry.button = button;
    }
    layout->addStretch();
    auto *donate = named(new QLabel(QStringLiteral("\u2665"), panel), "Donate");
    donate->setToolTip(QStringLiteral("Support Velbrook"));
    donate->setCursor(Qt::PointingHandCursor);
    layout->addWidget(donate);
    return panel;
}

void MainWindow::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MMenu"));

    QMenu *program = bar->addMenu(QStringLiteral("Program"));
    QAction *lastLog = program->addAction(QStringLiteral("Show last log"));
    lastLog->setObjectName(QStringLiteral("showLastLogAction"));
    connect(lastLog, &QAction::triggered, this,
            [] { prompter().openExternal(QUrl::fromLocalFile(OperationLogDialog::lastLogPath())); });
    QAction *settings = program->addAction(QStringLiteral("Settings"));
    settings->setObjectName(QStringLiteral("settingsAction"));
    connect(settings, &QAction::triggered, this, [this] { runSettingsDialog(this); });
    m_bookmarksMenu = program->addMenu(QStringLiteral("Bookmarks"));
    m_bookmarksMenu->setObjectName(QStringLiteral("bookmarksMenu"));
    program->addAction(QStringLiteral("About"))->setObjectName(QStringLiteral("aboutAction"));
    program->addSeparator();
    QAction *exitAction = program->addAction(QStringLiteral("Exit"));
    exitAction->setObjectName(QStringLiteral("exitAction"));
    connect(exitAction, &QAction::triggered, this, &MainWindow::exitProgram);

    QMenu *phone = bar->addMenu(QStringLiteral("Phone"));
    phone->addAction(QStringLiteral("Connect over network..."))->setObjectName(QStringLiteral("connectNetworkAction"));
    m_usePhoneMenu = phone->addMenu(QStringLiteral("Use phone"));
    m_usePhoneMenu->setObjectName(QStringLiteral("usePhoneMenu"));
    phone->addSeparator();
    phone->addAction(QStringLiteral("Screenshot"))->setObjectName(QStringLiteral("screenshotAction"));
    phone->addSeparator();
    QMenu *flash = phone->addMenu(QStringLiteral("Flash..."));
    m_flashAction = flash->menuAction();
    m_flashAction->setObjectName(QStringLiteral("flashAction"));
    flash->addAction(QStringLiteral("Update"));
    QMenu *image = flash->addMenu(QStringLiteral("Image"));
    image->addAction(QStringLiteral("Recovery"));
    image->addAction(QStringLiteral("Boot"));
    phone->addSeparator();
    connect(named(phone->addAction(QStringLiteral("Apps2SD Settings")), "apps2SdSettingsAction"), &QAction::triggered,
            this, [this] {
                if (m_appOps)
                    m_appOps->editAppsStorage();
            });
    phone->addSeparator()->setObjectName(QStringLiteral("rebootSeparator"));
    QMenu *reboot = phone->addMenu(QStringLiteral("Reboot"));
    reboot->addAction(QStringLiteral("Regular Reboot"));
    reboot->addSeparator();
    reboot->addAction(QStringLiteral("Reboot to Recovery"));
    reboot->addAction(QStringLiteral("Reboot to Bootloader"));
    m_powerOffSeparator = reboot->addSeparator();
    m_powerOffSeparator->setObjectName(QStringLiteral("powerOffSeparator"));
    m_powerOffAction = reboot->addAction(QStringLiteral("Power Off"));
    m_powerOffAction->setObjectName(QStringLiteral("powerOffAction"));

    QMenu *tools = bar->addMenu(QStringLiteral("Tools"));
    tools->addAction(QStringLiteral("Run DDMS"));
    tools->addSeparator();
    tools->addAction(QStringLiteral("SQLite Browser Settings"));
    tools->addSeparator();
    QMenu *sign = tools->addMenu(QStringLiteral("Sign file..."));
    sign->addAction(QStringLiteral("Sign APK file"));
    sign->addAction(QStringLiteral("Sign ZIP file"));
    tools->addSeparator();
    tools->addAction(QStringLiteral("SignAPK Settings"));
    connectConsole();
    connectScreenshot();
    connectPhoneChoice();
    connectPhoneMenu();
    connectKeys();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layOutPanes();
}

void MainWindow::layOutPanes()
{
    // An even split at every resize; the splitter moves freely in between.
    const int width = m_paneSplitter->width();
    const int handle = m_paneSplitter->handleWidth();
    m_paneSplitter->setSizes({width / 2 - handle / 2, width - (width / 2 - handle / 2) - handle});
}

void MainWindow::updateStorageStatus()
{
    // Its own commands: never under the cancel token of an operation or a listing.
    AdbClient adb(*m_adb);
    adb.setCancelToken(nullptr);
    const StorageStatus status = ::updateStorageStatus(adb, appStorage());
    const std::pair<QPushButton *, StorageButton> buttons[] = {
        {m_dataFreeButton, status.data}, {m_sdFreeButton, status.sd}, {m_extFreeButton, status.ext}};
    for (const auto &[button, state] : buttons) {
        button->setText(state.caption);
        // Enabled again once the space can be read, e.g. after the card is mounted back.
        button->setEnabled(state.available);
    }
}

void MainWindow::btnSDFreeClick(StorageKind kind)
{
    StorageSizeDialog form(readSizeInfo(*m_adb, kind, appStorage()), this);
    prompter().exec(form);
}

void MainWindow::swapDirectories()
{
    const QString right = m_devicePane->folder();
    const QString left = m_devicePane2->folder();
    m_devicePane->fillDeviceList(left);
    m_devicePane2->fillDeviceList(right);
}

void MainWindow::refreshLocation(const QString &key, Location where)
{
    if (where == Location::Phone) {
        for (DevicePane *pane : {m_devicePane, m_devicePane2}) {
            if (pane->folder() == key)
                pane->fillDeviceList(key);
        }
        // Free space changes with what was written or removed; listings alone do not ask for it.
        updateStorageStatus();
    } else if (where == Location::Pc) {
        m_pcPane->listPcFolder(m_pcPane->folder().isEmpty() ? m_pcAddress->currentText() : m_pcPane->folder());
    } else if (where == Location::Apps && m_appsPane->isLoaded()) {
        m_appsPane->packagesChanged();
    }
}

void MainWindow::pageChanged()
{
    // Copies to the right side make no sense while it shows the applications.
    const bool files = m_rightTabs->currentWidget() == m_rightPhoneTab;
    for (QPushButton *button :
         {m_devicePane2->commandButton(DevicePane::Command::Copy), m_devicePane2->swapButton(), m_pcPane->copyButton()})
        button->setEnabled(files);
    if (files)
        m_devicePane->list()->setFocus();
    else
        m_appsPane->firstVisit();
}

void MainWindow::enableRowDragging(QListView *list)
{
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDragDropMode(QAbstractItemView::DragDrop);
    list->setDefaultDropAction(Qt::CopyAction);
    list->viewport()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (watched == m_appsList->viewport() && m_appOps) {
        QStringList paths;
        for (const QUrl &url : drop->mimeData()->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        // Package files and folders dropped on the applications list are for installing.
        if (!paths.isEmpty()) {
            drop->acceptProposedAction();
            if (type == QEvent::Drop)
                QTimer::singleShot(0, this, [this, paths] { m_appOps->showInstallerFor(paths); });
            return true;
        }
    }
    if (!drop->mimeData()->hasFormat(FileListModel::rowMimeType()))
        return false; // files from the desktop go on to the main window
    auto *target = qobject_cast<QListView *>(watched->parent());
    auto *source = qobject_cast<QListView *>(drop->source());
    if (source == m_appsList && m_appOps) {
        // Application rows go to the other side's phone folder or PC folder, never onto themselves.
        const bool toPhone = target == m_devicePane2->list();
        if (!toPhone && target != m_pcList) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop)
            QTimer::singleShot(0, this, [this, toPhone] { m_appOps->dropRow(toPhone); });
        return true;
    }
    if (!m_fileOps || !m_fileOps->acceptDrop(target, source)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // After the drag has ended: the copy dialog must not open inside the drag's own loop.
        QTimer::singleShot(0, this, [this, target, source] { m_fileOps->dropRow(target, source); });
    }
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && m_fileOps)
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, paths] { m_fileOps->pushDroppedFiles(paths); });
}
