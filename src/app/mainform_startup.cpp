// Start-up and shut-down of the main window.
#include "app/mainform.h"

#include "appsui/apps2sdsettings.h"
#include "apps/appstorage.h"
#include "appsui/appoperations.h"
#include "appsui/appspane.h"
#include "app/deviceform.h"
#include "bridge/statusmonitor.h"
#include "base/bookmarks.h"
#include "files/devicepane.h"
#include "files/fileoperations.h"
#include "lists/filelistmodel.h"
#include "files/pcpane.h"
#include "platform/platform.h"
#include "app/adbdlg.h"
#include "app/startup.h"
#include "app/progressdlg.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "app/settingsdlg.h"
#include "base/settingsstore.h"

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
    Startup startup(*this, *MainADB, m_options);
    if (!startup.run())
        appState().QuitAfterStart = true;
}

bool TMainForm::appsPageShown() const
{
    return Tabs->currentWidget() == AppsTab;
}

bool TMainForm::leftShowsPhone() const
{
    return Tabs2->currentWidget() == AndroidTab;
}

QString TMainForm::pcFolder() const
{
    return folder(Location::Pc);
}

void TMainForm::createOperations()
{
    m_fileOps = new FileOperations(this, *this, *MainADB, *LogForm, *m_devicePane, *m_devicePane2, {PCList, AppsList1});
    connect(m_fileOps, &FileOperations::locationChanged, this, &TMainForm::RefreshLocation);
    m_appOps = new AppOperations(this, *MainADB, *LogForm, *m_appsPane, *this);
    connect(m_appOps, &AppOperations::locationChanged, this, &TMainForm::RefreshLocation);
    connect(m_appOps, &AppOperations::loadingStarted, this, &TMainForm::showLoading);
    connect(m_appOps, &AppOperations::loadingFinished, this, &TMainForm::hideLoading);
    connect(m_pcPane, &PcPane::installerRequested, this, [this] {
        m_appOps->ShowInstallerFor(m_pcPane->folder());
        m_pcPane->refresh();
    });
    // Package files double-clicked in a pane open the information window.
    for (DevicePane *pane : {m_devicePane, m_devicePane2})
        pane->openApk = [this](const QString &path) { m_appOps->ShowPackageInfo(path, true); };
    m_pcPane->openApk = [this](const QString &path) { m_appOps->ShowPackageInfo(path, false); };
    connect(m_pcPane, &PcPane::copyToDeviceRequested, this,
            [this] { m_fileOps->CopyPcToPhone(*m_pcPane, m_pcPane->folder()); });
}

Location TMainForm::leftSide() const
{
    return leftShowsPhone() ? Location::Phone : Location::Pc;
}

QString TMainForm::folder(Location side) const
{
    if (side == Location::Phone)
        return m_devicePane2->folder();
    return m_pcPane->folder().isEmpty() ? CPAdres->currentText() : m_pcPane->folder();
}

void TMainForm::prepareFrame()
{
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Velbrook ") + QLatin1String(kProductVersion));
    Tabs3->setCurrentIndex(0);
    Tabs->setCurrentIndex(0);
    Tabs2->setCurrentIndex(0);
    loadBookmarks();
}

void TMainForm::showPhoneAbilities()
{
    const AppState &state = appState();
    m_appsPane->showPhoneKind();
    if (state.RootAccess) {
        RootPanel->setText(QStringLiteral("Root access: OK"));
        RootPanel->setToolTip(QStringLiteral("You have ROOT access!"));
    } else {
        RootPanel->setText(QStringLiteral("Root access: NO"));
        RootPanel->setToolTip(QStringLiteral("You do not have ROOT access!"));
        // The applications manager works without root too: through the package manager where the
        // application folders are closed.
        Flash1->setVisible(false);
    }
    if (!state.BusyboxPresent) {
        PowerOff1->setVisible(false);
        N3->setVisible(false);
    }
}

void TMainForm::startWatching()
{
    // Free space is read after operations and now and then, not at every folder opened.
    auto *spaceTimer = new QTimer(this);
    spaceTimer->setObjectName(QStringLiteral("SpaceTimer"));
    spaceTimer->setInterval(60 * 1000);
    connect(spaceTimer, &QTimer::timeout, this, [this] {
        if (isEnabled() && !m_devicePane->isListing() && !m_devicePane2->isListing())
            UpdateStorageStatus();
    });
    spaceTimer->start();

    m_monitor = std::make_unique<TStatusMonitor>(this, [this] { ShowDeviceDialog(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState appState) {
        if (appState == Qt::ApplicationActive)
            AppEventsActivate();
        else
            AppEventsDeactivate();
    });
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
    if (prompter().exec(form) != QDialog::Accepted) {
        Exit1Click();
        return;
    }
    if (m_fileOps)
        m_fileOps->phoneIsBack();
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
