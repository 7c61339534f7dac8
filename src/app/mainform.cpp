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

TMainForm::TMainForm(StartOptions options, QWidget *parent) : QMainWindow(parent), m_options(std::move(options))
{
    setObjectName(QStringLiteral("MainForm"));
    MainADB = std::make_unique<TADB>();
    MainADB->setCancelToken(std::make_shared<CancelToken>());
    setWindowTitle(QStringLiteral("Velbrook"));
    resize(780, 580);
    LogForm = new TLogForm(this);
    buildFrame();
    buildMenu();
}

TMainForm::~TMainForm()
{
    stopMonitor();
}

void TMainForm::buildFrame()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Tabs3 = named(new QTabWidget(central), "Tabs3");
    Tabs3->setTabPosition(QTabWidget::South);
    TabSheet1 = named(new QWidget(Tabs3), "TabSheet1");
    auto *sheet1 = new QHBoxLayout(TabSheet1);
    sheet1->setContentsMargins(2, 2, 2, 2);
    Splitter = named(new QSplitter(Qt::Horizontal, TabSheet1), "Splitter");
    Splitter->setChildrenCollapsible(false);
    Tabs2 = named(new QTabWidget(Splitter), "Tabs2");
    Tabs = named(new QTabWidget(Splitter), "Tabs");
    Splitter->addWidget(Tabs2);
    Splitter->addWidget(Tabs);
    sheet1->addWidget(Splitter);

    m_pcPane = new PcPane(*MainADB, Tabs2);
    WindowsTab = m_pcPane;
    CPAdres = m_pcPane->address();
    PCList = m_pcPane->list();
    m_devicePane2 = new DevicePane(DevicePane::Side::Left, *MainADB, Tabs2);
    AndroidTab = m_devicePane2;
    Tabs2->addTab(WindowsTab, platform::pcFilesCaption());
    Tabs2->addTab(AndroidTab, QStringLiteral("Android Files"));
    m_devicePane = new DevicePane(DevicePane::Side::Right, *MainADB, Tabs);
    FilesTab = m_devicePane;
    connect(m_devicePane2->swapButton(), &QPushButton::clicked, this, &TMainForm::swapDirectories);
    AppsTab = named(buildAppsPane(), "AppsTab");
    Tabs->addTab(FilesTab, QStringLiteral("Android Files"));
    Tabs->addTab(AppsTab, QStringLiteral("Applications Manager"));

    TabSheet2 = named(buildConsole(), "TabSheet2");
    Tabs3->addTab(TabSheet1, QStringLiteral("Velbrook"));
    Tabs3->addTab(TabSheet2, QStringLiteral("Console"));
    // A user who opens the console types a command next.
    connect(Tabs3, &QTabWidget::currentChanged, this, [this] {
        if (Tabs3->currentWidget() == TabSheet2)
            m_consolePane->commandBox()->setFocus();
    });

    for (QListView *list : {m_devicePane->list(), m_devicePane2->list(), PCList, AppsList1})
        enableRowDragging(list);

    connect(Tabs, &QTabWidget::currentChanged, this, &TMainForm::pageChanged);
    connect(Tabs2, &QTabWidget::currentChanged, this,
            [this] { (Tabs2->currentWidget() == WindowsTab ? PCList : m_devicePane2->list())->setFocus(); });

    layout->addWidget(Tabs3, 1);
    layout->addWidget(buildStatusPanel());
    setCentralWidget(central);
}

QWidget *TMainForm::buildAppsPane()
{
    m_appsPane = new AppsPane(*MainADB, appStorage(), *LogForm, Tabs);
    AppsList1 = m_appsPane->list();
    AppsSourcePanel = m_appsPane->sourcePanel();
    AppsSource = m_appsPane->sourceTabs();
    connect(m_appsPane, &AppsPane::loadingStarted, this, &TMainForm::showLoading);
    connect(m_appsPane, &AppsPane::loadingFinished, this, &TMainForm::hideLoading);
    connect(m_appsPane, &AppsPane::storageChanged, this, &TMainForm::UpdateStorageStatus);
    return m_appsPane;
}

void TMainForm::showLoading()
{
    if (m_loading)
        return;
    m_loading = std::make_unique<TLoadingForm>(this);
    m_loading->setCancelAction([this] { MainADB->cancelToken()->cancel(); });
    m_loading->show();
}

void TMainForm::hideLoading()
{
    m_loading.reset();
    MainADB->cancelToken()->reset();
}

QWidget *TMainForm::buildConsole()
{
    m_consolePane = new ConsolePane(*MainADB, *LogForm, this);
    return m_consolePane;
}

QWidget *TMainForm::buildStatusPanel()
{
    auto *panel = named(new QWidget(this), "StatusPanel");
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    RootPanel = named(new QPushButton(QStringLiteral("Root access:"), panel), "RootPanel");
    RootPanel->setEnabled(false);
    layout->addWidget(RootPanel);
    const struct {
        QPushButton **button;
        const char *name;
        StorageKind kind;
    } buttons[] = {{&btnDataFree, "btnDataFree", StorageKind::Data},
                   {&btnSDFree, "btnSDFree", StorageKind::Sd},
                   {&btnExtFree, "btnExtFree", StorageKind::Ext}};
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

void TMainForm::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MMenu"));

    QMenu *program = bar->addMenu(QStringLiteral("Program"));
    QAction *lastLog = program->addAction(QStringLiteral("Show last log"));
    lastLog->setObjectName(QStringLiteral("Lastoperationlog1"));
    connect(lastLog, &QAction::triggered, this,
            [] { prompter().openExternal(QUrl::fromLocalFile(TLogForm::lastLogPath())); });
    QAction *settings = program->addAction(QStringLiteral("Settings"));
    settings->setObjectName(QStringLiteral("Settings1"));
    connect(settings, &QAction::triggered, this, [this] { runSettingsDialog(this); });
    program->addAction(QStringLiteral("About"))->setObjectName(QStringLiteral("About1"));
    program->addSeparator();
    QAction *exitAction = program->addAction(QStringLiteral("Exit"));
    exitAction->setObjectName(QStringLiteral("Exit1"));
    connect(exitAction, &QAction::triggered, this, &TMainForm::Exit1Click);

    QMenu *phone = bar->addMenu(QStringLiteral("Phone"));
    phone->addAction(QStringLiteral("Connect over network..."))->setObjectName(QStringLiteral("ConnectNetwork1"));
    phone->addSeparator();
    QMenu *screenshot = phone->addMenu(QStringLiteral("Screenshot (beta)"));
    screenshot->addAction(QStringLiteral("Nexus, Desire,..."))->setObjectName(QStringLiteral("ScreenN1"));
    screenshot->addAction(QStringLiteral("G1, Magic, Hero,..."))->setObjectName(QStringLiteral("ScreenG1"));
    phone->addSeparator();
    QMenu *flash = phone->addMenu(QStringLiteral("Flash..."));
    Flash1 = flash->menuAction();
    Flash1->setObjectName(QStringLiteral("Flash1"));
    flash->addAction(QStringLiteral("Update"));
    QMenu *image = flash->addMenu(QStringLiteral("Image"));
    image->addAction(QStringLiteral("Recovery"));
    image->addAction(QStringLiteral("Boot"));
    phone->addSeparator();
    connect(named(phone->addAction(QStringLiteral("Apps2SD Settings")), "Apps2SDSettings1"), &QAction::triggered, this,
            [this] {
                if (m_appOps)
                    m_appOps->EditAppsStorage();
            });
    phone->addSeparator()->setObjectName(QStringLiteral("N6"));
    QMenu *reboot = phone->addMenu(QStringLiteral("Reboot"));
    reboot->addAction(QStringLiteral("Regular Reboot"));
    reboot->addSeparator();
    reboot->addAction(QStringLiteral("Reboot to Recovery"));
    reboot->addAction(QStringLiteral("Reboot to Bootloader"));
    N3 = reboot->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    PowerOff1 = reboot->addAction(QStringLiteral("Power Off"));
    PowerOff1->setObjectName(QStringLiteral("PowerOff1"));

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
    connectPhoneMenu();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::FormResize()
{
    // An even split at every resize; the splitter moves freely in between.
    const int width = Splitter->width();
    const int handle = Splitter->handleWidth();
    Splitter->setSizes({width / 2 - handle / 2, width - (width / 2 - handle / 2) - handle});
}

void TMainForm::UpdateStorageStatus()
{
    // Its own commands: never under the cancel token of an operation or a listing.
    TADB adb(*MainADB);
    adb.setCancelToken(nullptr);
    const StorageStatus status = ::UpdateStorageStatus(adb, appStorage());
    const std::pair<QPushButton *, StorageButton> buttons[] = {
        {btnDataFree, status.data}, {btnSDFree, status.sd}, {btnExtFree, status.ext}};
    for (const auto &[button, state] : buttons) {
        button->setText(state.caption);
        // Enabled again once the space can be read, e.g. after the card is mounted back.
        button->setEnabled(state.available);
    }
}

void TMainForm::btnSDFreeClick(StorageKind kind)
{
    TSizeInfoForm form(ReadSizeInfo(*MainADB, kind, appStorage()), this);
    prompter().exec(form);
}

void TMainForm::swapDirectories()
{
    const QString right = m_devicePane->folder();
    const QString left = m_devicePane2->folder();
    m_devicePane->FillDeviceList(left);
    m_devicePane2->FillDeviceList(right);
}

void TMainForm::RefreshLocation(const QString &key, Location where)
{
    if (where == Location::Phone) {
        for (DevicePane *pane : {m_devicePane, m_devicePane2}) {
            if (pane->folder() == key)
                pane->FillDeviceList(key);
        }
        // Free space changes with what was written or removed; listings alone do not ask for it.
        UpdateStorageStatus();
    } else if (where == Location::Pc) {
        m_pcPane->ListPcFolder(m_pcPane->folder().isEmpty() ? CPAdres->currentText() : m_pcPane->folder());
    } else if (where == Location::Apps && m_appsPane->isLoaded()) {
        m_appsPane->LoadApplications();
    }
}

void TMainForm::pageChanged()
{
    // Copies to the right side make no sense while it shows the applications.
    const bool files = Tabs->currentWidget() == FilesTab;
    for (QPushButton *button :
         {m_devicePane2->commandButton(DevicePane::Command::Copy), m_devicePane2->swapButton(), m_pcPane->copyButton()})
        button->setEnabled(files);
    if (files)
        m_devicePane->list()->setFocus();
    else
        m_appsPane->firstVisit();
}

void TMainForm::enableRowDragging(QListView *list)
{
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDragDropMode(QAbstractItemView::DragDrop);
    list->setDefaultDropAction(Qt::CopyAction);
    list->viewport()->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData()->hasFormat(FileListModel::rowMimeType()))
        return false; // files from the desktop go on to the main window
    auto *target = qobject_cast<QListView *>(watched->parent());
    auto *source = qobject_cast<QListView *>(drop->source());
    if (source == AppsList1 && m_appOps) {
        // Application rows go to the other side's phone folder or PC folder, never onto themselves.
        const bool toPhone = target == m_devicePane2->list();
        if (!toPhone && target != PCList) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop)
            QTimer::singleShot(0, this, [this, toPhone] { m_appOps->DropRow(toPhone); });
        return true;
    }
    if (!m_fileOps || !m_fileOps->AcceptDrop(target, source)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // After the drag has ended: the copy dialog must not open inside the drag's own loop.
        QTimer::singleShot(0, this, [this, target, source] { m_fileOps->DropRow(target, source); });
    }
    return true;
}

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && m_fileOps)
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, paths] { m_fileOps->PushDroppedFiles(paths); });
}
