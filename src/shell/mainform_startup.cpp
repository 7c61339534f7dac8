// Start-up and shut-down of the main window.
#include "shell/mainform.h"

#include "apps/apps2sdsettings.h"
#include "apps/appstorage.h"
#include "bridge/deviceform.h"
#include "bridge/statusmonitor.h"
#include "files/bookmarks.h"
#include "files/devicepane.h"
#include "files/fileoperations.h"
#include "files/filelistmodel.h"
#include "files/pcpane.h"
#include "platform/platform.h"
#include "shell/adbdlg.h"
#include "shell/diagnostics.h"
#include "shell/loadingdlg.h"
#include "shell/progressdlg.h"
#include "shell/prompter.h"
#include "shell/settings.h"
#include "shell/settingsdlg.h"
#include "shell/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {

// Refills a box's drop-down; the box keeps the text it shows.
void setItemsKeepingText(QComboBox *box, const QStringList &items)
{
    const QString text = box->currentText();
    box->clear();
    box->addItems(items);
    box->setEditText(text);
}

} // namespace

void TMainForm::FormCreate()
{
    AppState &state = appState();
    state.DiagnosticsMode = m_options.diagnostics;
    state.StartPath = m_options.startPath;
    state.QuitAfterStart = false;

    TLoadingForm loading;
    loading.setCancelAction([this] { cancelRunning(); });
    setUpProgramFolders(state, QCoreApplication::applicationDirPath());
    // The user may have pointed the program at the SDK's folder when adb was not found.
    platform::prependToSearchPath(readAdbDir(state.SettingsFile));
    LoadSettings();
    if (programSettings().CommandOnStart && !programSettings().StartCommand.trimmed().isEmpty()) {
        // The user's own command may not end: the window says that start-up runs and offers Cancel.
        if (state.StartPath.isEmpty())
            loading.show();
        MainADB->Run(programSettings().StartCommand, true);
    }
    LogForm = new TLogForm(this);
    FileOperations::Hooks hooks;
    hooks.appsPageShown = [this] { return Tabs->currentWidget() == AppsTab; };
    hooks.leftShowsPhone = [this] { return Tabs2->currentWidget() == AndroidTab; };
    hooks.pcFolder = [this] { return m_pcPane->folder().isEmpty() ? CPAdres->currentText() : m_pcPane->folder(); };
    hooks.refreshLocation = [this](const QString &key, Location where) { RefreshLocation(key, where); };
    m_fileOps = new FileOperations(this, *MainADB, *LogForm, *m_devicePane, *m_devicePane2, {PCList, AppsList1},
                                   std::move(hooks));
    connect(m_pcPane, &PcPane::copyToDeviceRequested, this,
            [this] { m_fileOps->CopyPcToPhone(*m_pcPane->model(), m_pcPane->folder()); });

    if (!state.StartPath.isEmpty()) {
        runPathMode(loading);
        state.QuitAfterStart = true;
        return;
    }
    loading.show();
    if (!runNormalStartup(loading))
        state.QuitAfterStart = true;
}

void TMainForm::runPathMode(TLoadingForm &loading)
{
    const QString &path = appState().StartPath;
    if (path.endsWith(u'/') || path.endsWith(u'\\')) {
        loading.show();
        // The installer window lists the folder's packages; until it exists there is nothing to show.
        loading.close();
        prompter().information(nullptr, QStringLiteral("No applications in directory to show."));
    }
}

bool TMainForm::runNormalStartup(TLoadingForm &loading)
{
    AppState &state = appState();
    TADB &adb = *MainADB;

    adb.StartServer();
    if (!adb.AdbAvailable()) {
        TADBForm adbForm(this);
        prompter().exec(adbForm);
        // Without adb there is nothing to look for: its Exit ends the program.
        state.QuitAfterStart = true;
        return false;
    }
    adb.DropUnlistedChoice();
    if (!adb.DevicePresent()) {
        TDeviceForm deviceForm(this);
        if (prompter().exec(deviceForm) != QDialog::Accepted)
            state.QuitAfterStart = true;
    }
    if (!adb.DevicePresent())
        return false;

    if (state.DiagnosticsMode) {
        prompter().information(
            this, QStringList{QStringLiteral("Program started in Debuging Mode!"), QString(),
                              QStringLiteral("Program will make log files in debug program directory."),
                              QStringLiteral("You can send log files to velbrook@users.noreply.example"),
                              QStringLiteral("This will help me fix your problems with my program ;)")}
                      .join(u'\n'));
        QDir().mkpath(state.DebugDir);
        const QString vbd1 = state.DebugDir + QStringLiteral("/vbd1");
        QFile::remove(vbd1);
        saveLines(vbd1, buildDiagnostics(adb, appStorage(), [this] { return chooseStorageOption(); }));
    }
    StepLog steps(state.DiagnosticsMode, state.DebugDir + QStringLiteral("/vbd2"));

    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Velbrook ") + QLatin1String(kProductVersion));
    Tabs3->setCurrentIndex(0);
    Tabs->setCurrentIndex(0);
    Tabs2->setCurrentIndex(0);
    loadBookmarks();

    steps.mark(QStringLiteral("1-1"));
    state.RootAccess = adb.HasRoot();
    state.BusyboxPresent = adb.DetectBusybox();
    state.ReadlinkPresent = adb.DetectReadlink();
    state.ShortListing = !adb.DetectLsOptions();
    steps.mark(QStringLiteral("1-2"));
    steps.save();

    steps.mark(QStringLiteral("2-1"));
    ConfigureAppStorage(adb, appStorage(), [this] { return chooseStorageOption(); });
    steps.mark(QStringLiteral("2-2"));
    steps.save();
    if (!appStorage().AltAppRoot.isEmpty())
        AppsSourcePanel->setVisible(true);

    steps.mark(QStringLiteral("3-1"));
    m_pcPane->ListPcFolder(CPAdres->currentText());
    steps.mark(QStringLiteral("3-2"));
    steps.save();
    UpdateStorageStatus();
    steps.mark(QStringLiteral("4-1"));
    m_devicePane->FillDeviceList(m_devicePane->addressText());
    steps.mark(QStringLiteral("4-2"));
    steps.save();
    steps.mark(QStringLiteral("5-1"));
    m_devicePane2->FillDeviceList(m_devicePane2->addressText());
    steps.mark(QStringLiteral("5-2"));
    steps.save();

    if (state.RootAccess) {
        RootPanel->setText(QStringLiteral("Root access: OK"));
        RootPanel->setToolTip(QStringLiteral("You have ROOT access!"));
    } else {
        RootPanel->setText(QStringLiteral("Root access: NO"));
        RootPanel->setToolTip(QStringLiteral("You do not have ROOT access!"));
        const int index = Tabs->indexOf(AppsTab);
        if (index >= 0)
            Tabs->removeTab(index);
        Flash1->setVisible(false);
    }
    if (!state.BusyboxPresent) {
        PowerOff1->setVisible(false);
        N3->setVisible(false);
    }
    m_devicePane->list()->setFocus();
    loading.close();

    // Free space is read after operations and now and then, not at every folder opened.
    auto *spaceTimer = new QTimer(this);
    spaceTimer->setObjectName(QStringLiteral("SpaceTimer"));
    spaceTimer->setInterval(60 * 1000);
    connect(spaceTimer, &QTimer::timeout, this, [this] {
        if (isEnabled() && !m_devicePane->isListing() && !m_devicePane2->isListing())
            UpdateStorageStatus();
    });
    spaceTimer->start();

    steps.mark(QStringLiteral("6-1"));
    m_monitor = std::make_unique<TStatusMonitor>(this, [this] { ShowDeviceDialog(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState appState) {
        if (appState == Qt::ApplicationActive)
            AppEventsActivate();
        else
            AppEventsDeactivate();
    });
    steps.mark(QStringLiteral("6-2"));
    steps.save();
    return !state.QuitAfterStart;
}

int TMainForm::chooseStorageOption()
{
    TApps2SdForm form(this);
    form.setCancelVisible(false);
    return prompter().exec(form) == QDialog::Accepted ? form.selectedOption() : -1;
}

void TMainForm::loadBookmarks()
{
    m_bookmarks = std::make_unique<BookmarkLists>(appState().DataDir);
    m_bookmarks->load();
    setItemsKeepingText(CPAdres, m_bookmarks->pcItems());
    setItemsKeepingText(m_devicePane->address(), m_bookmarks->deviceItems());
    setItemsKeepingText(m_devicePane2->address(), m_bookmarks->deviceItems());
    connectBookmarkMenu(*m_devicePane, BookmarkLists::Device1);
    connectBookmarkMenu(*m_devicePane2, BookmarkLists::Device2);
    connectBookmarkMenu(*m_pcPane, BookmarkLists::Pc);
}

void TMainForm::connectBookmarkMenu(FilePaneBase &pane, BookmarkLists::Box kind)
{
    QComboBox *box = pane.address();
    const bool device = kind != BookmarkLists::Pc;
    using Change = bool (BookmarkLists::*)(BookmarkLists::Box, const QString &);
    auto onChange = [this, kind, device, box](Change change, const char *done) {
        const bool saved = (m_bookmarks.get()->*change)(kind, box->currentText());
        // Both phone boxes show the one phone list.
        if (device) {
            setItemsKeepingText(m_devicePane->address(), m_bookmarks->deviceItems());
            setItemsKeepingText(m_devicePane2->address(), m_bookmarks->deviceItems());
        } else {
            setItemsKeepingText(CPAdres, m_bookmarks->pcItems());
        }
        prompter().information(this, saved ? QString::fromLatin1(done)
                                           : QString(QStringLiteral("Could not write ") + m_bookmarks->fileName(kind)));
    };
    connect(pane.addBookmarkAction(), &QAction::triggered, this,
            [onChange] { onChange(&BookmarkLists::add, kBookmarkAddedMessage); });
    connect(pane.removeBookmarkAction(), &QAction::triggered, this,
            [onChange] { onChange(&BookmarkLists::remove, kBookmarkRemovedMessage); });
}

void TMainForm::LoadSettings()
{
    const LoadedSettings loaded = ::LoadSettings();
    const WindowPlacement &window = loaded.window;
    if (window.remembered) {
        setGeometry(QRect(window.left, window.top, window.width, window.height));
        if (window.maximised)
            setWindowState(windowState() | Qt::WindowMaximized);
    }
    // A place remembered on a screen that is gone puts the window back in the middle.
    const QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!window.remembered || !screen) {
        resize(780, 580);
        if (const QScreen *primary = QGuiApplication::primaryScreen()) {
            const QRect area = primary->geometry();
            move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
        }
    }
    m_devicePane->setAddressText(loaded.folders.Adres);
    m_devicePane2->setAddressText(loaded.folders.Adres2);
    m_pcPane->setAddressText(loaded.folders.CPAdres);
}

void TMainForm::SaveSettingsOnce()
{
    if (m_settingsSaved || appState().QuitAfterStart || !m_devicePane)
        return;
    m_settingsSaved = true;
    SaveSettings();
}

void TMainForm::SaveSettings()
{
    WindowPlacement window;
    window.remembered = true;
    window.maximised = isMaximized();
    const QRect frame = normalGeometry();
    window.top = frame.top();
    window.left = frame.left();
    window.height = frame.height();
    window.width = frame.width();
    if (!::SaveSettings(window, Tabs->width(),
                        PaneFolders{m_devicePane->folder(), m_devicePane2->folder(), m_pcPane->addressText()}))
        qWarning("The settings could not be saved to %s", qPrintable(appState().SettingsFile));
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (LogForm)
        LogForm->hide();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose()
{
    m_closing = true;
    stopMonitor();
    SaveSettingsOnce();
    delete m_fileOps;
    m_fileOps = nullptr;
    delete LogForm;
    LogForm = nullptr;
    setAcceptDrops(false);
}

void TMainForm::Exit1Click()
{
    m_closing = true;
    // This may run inside the monitor's own dialog call: only ask it to stop, the owner waits later.
    if (m_monitor)
        m_monitor->requestStop();
    // The loop ends without a close event, so the run's settings are kept here.
    SaveSettingsOnce();
    QCoreApplication::exit(0);
}

void TMainForm::cancelRunning()
{
    // Only the command running now: the next ones must run.
    const std::shared_ptr<CancelToken> &token = MainADB->cancelToken();
    token->cancel();
    token->reset();
    m_devicePane->cancelListing();
    m_devicePane2->cancelListing();
}

void TMainForm::stopMonitor()
{
    if (m_monitor)
        m_monitor->stop();
}

void TMainForm::ShowDeviceDialog()
{
    if (m_closing)
        return;
    TDeviceForm form(this);
    if (prompter().exec(form) != QDialog::Accepted)
        Exit1Click();
}

void TMainForm::AppEventsActivate()
{
    if (m_monitor && m_monitor->isPaused())
        m_monitor->resume();
}

void TMainForm::AppEventsDeactivate()
{
    if (m_monitor && isVisible())
        m_monitor->pause();
}
