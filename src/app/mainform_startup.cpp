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

void MainWindow::startUp()
{
    Startup startup(*this, *m_adb, m_options);
    if (!startup.run())
        appState().quitAfterStart = true;
}

bool MainWindow::appsPageShown() const
{
    return m_rightTabs->currentWidget() == m_appsTab;
}

bool MainWindow::leftShowsPhone() const
{
    return m_leftTabs->currentWidget() == m_leftPhoneTab;
}

QString MainWindow::pcFolder() const
{
    return folder(Location::Pc);
}

void MainWindow::createOperations()
{
    m_fileOps =
        new FileOperations(this, *this, *m_adb, *m_logDialog, *m_devicePane, *m_devicePane2, {m_pcList, m_appsList});
    connect(m_fileOps, &FileOperations::locationChanged, this, &MainWindow::refreshLocation);
    m_appOps = new AppOperations(this, *m_adb, *m_logDialog, *m_appsPane, *this);
    connect(m_appOps, &AppOperations::locationChanged, this, &MainWindow::refreshLocation);
    connect(m_appOps, &AppOperations::loadingStarted, this, &MainWindow::showLoading);
    connect(m_appOps, &AppOperations::loadingFinished, this, &MainWindow::hideLoading);
    connect(m_pcPane, &PcPane::installRequested, this, [this](const QStringList &paths) {
        m_appOps->showInstallerFor(paths);
        m_pcPane->refresh();
    });
    // Package files double-clicked in a pane open the information window.
    for (DevicePane *pane : {m_devicePane, m_devicePane2})
        connect(pane, &DevicePane::apkOpened, this,
                [this](const QString &path) { m_appOps->showPackageInfo(path, true); });
    connect(m_pcPane, &PcPane::apkOpened, this,
            [this](const QString &path) { m_appOps->showPackageInfo(path, false); });
    connect(m_pcPane, &PcPane::copyToDeviceRequested, this,
            [this] { m_fileOps->copyPcToPhone(*m_pcPane, m_pcPane->folder()); });
    connect(m_pcPane, &PcPane::moveToDeviceRequested, this,
            [this] { m_fileOps->copyPcToPhone(*m_pcPane, m_pcPane->folder(), true); });
}

Location MainWindow::leftSide() const
{
    return leftShowsPhone() ? Location::Phone : Location::Pc;
}

QString MainWindow::folder(Location side) const
{
    if (side == Location::Phone)
        return m_devicePane2->folder();
    return m_pcPane->folder().isEmpty() ? m_pcAddress->currentText() : m_pcPane->folder();
}

void MainWindow::prepareFrame()
{
    setAcceptDrops(true);
    updatePhoneTitle();
    m_pageTabs->setCurrentIndex(0);
    m_rightTabs->setCurrentIndex(0);
    m_leftTabs->setCurrentIndex(0);
    loadBookmarks();
}

void MainWindow::showPhoneAbilities()
{
    const AppState &state = appState();
    m_appsPane->showPhoneKind();
    if (state.rootAccess) {
        m_rootButton->setText(QStringLiteral("Root access: OK"));
        m_rootButton->setToolTip(QStringLiteral("You have ROOT access!"));
    } else {
        m_rootButton->setText(QStringLiteral("Root access: NO"));
        m_rootButton->setToolTip(QStringLiteral("You do not have ROOT access!"));
        // The applications manager works without root too: through the package manager where the
        // application folders are closed.
        m_flashAction->setVisible(false);
    }
    if (!state.busyboxPresent) {
        m_powerOffAction->setVisible(false);
        m_powerOffSeparator->setVisible(false);
    }
}

void MainWindow::startWatching()
{
    // Free space is read after operations and now and then, not at every folder opened.
    auto *spaceTimer = new QTimer(this);
    spaceTimer->setObjectName(QStringLiteral("SpaceTimer"));
    spaceTimer->setInterval(60 * 1000);
    connect(spaceTimer, &QTimer::timeout, this, [this] {
        if (isEnabled() && !m_devicePane->isListing() && !m_devicePane2->isListing())
            updateStorageStatus();
    });
    spaceTimer->start();

    m_monitor = std::make_unique<StatusMonitor>(this, [this](DeviceSituation why) { phoneMissing(why); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState appState) {
        if (appState == Qt::ApplicationActive)
            appEventsActivate();
        else
            appEventsDeactivate();
    });
}

void MainWindow::loadBookmarks()
{
    m_bookmarks = std::make_unique<BookmarkLists>(appState().dataDir);
    m_bookmarks->load();
    setItemsKeepingText(m_pcAddress, m_bookmarks->pcItems());
    setItemsKeepingText(m_devicePane->address(), m_bookmarks->deviceItems());
    setItemsKeepingText(m_devicePane2->address(), m_bookmarks->deviceItems());
    connectBookmarkMenu(*m_devicePane, BookmarkLists::Device1);
    connectBookmarkMenu(*m_devicePane2, BookmarkLists::Device2);
    connectBookmarkMenu(*m_pcPane, BookmarkLists::Pc);
}

void MainWindow::connectBookmarkMenu(FilePaneBase &pane, BookmarkLists::Box kind)
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
            setItemsKeepingText(m_pcAddress, m_bookmarks->pcItems());
        }
        prompter().information(this, saved ? QString::fromLatin1(done)
                                           : QString(QStringLiteral("Could not write ") + m_bookmarks->fileName(kind)));
    };
    connect(pane.addBookmarkAction(), &QAction::triggered, this,
            [onChange] { onChange(&BookmarkLists::add, kBookmarkAddedMessage); });
    connect(pane.removeBookmarkAction(), &QAction::triggered, this,
            [onChange] { onChange(&BookmarkLists::remove, kBookmarkRemovedMessage); });
}

void MainWindow::loadSettings()
{
    const LoadedSettings loaded = ::loadSettings();
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
    m_devicePane->setAddressText(loaded.folders.rightPhoneFolder);
    m_devicePane2->setAddressText(loaded.folders.leftPhoneFolder);
    m_pcPane->setAddressText(loaded.folders.pcFolder);
}

void MainWindow::saveSettingsOnce()
{
    if (m_settingsSaved || appState().quitAfterStart || !m_devicePane)
        return;
    m_settingsSaved = true;
    saveSettings();
}

void MainWindow::saveSettings()
{
    WindowPlacement window;
    window.remembered = true;
    window.maximised = isMaximized();
    const QRect frame = normalGeometry();
    window.top = frame.top();
    window.left = frame.left();
    window.height = frame.height();
    window.width = frame.width();
    if (!::saveSettings(window, m_rightTabs->width(),
                        PaneFolders{m_devicePane->folder(), m_devicePane2->folder(), m_pcPane->addressText()}))
        qWarning("The settings could not be saved to %s", qPrintable(appState().settingsFile));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_logDialog)
        m_logDialog->hide();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    shutDown();
    QMainWindow::closeEvent(event);
}

void MainWindow::shutDown()
{
    m_closing = true;
    stopMonitor();
    saveSettingsOnce();
    delete m_fileOps;
    m_fileOps = nullptr;
    delete m_logDialog;
    m_logDialog = nullptr;
    setAcceptDrops(false);
}

void MainWindow::exitProgram()
{
    m_closing = true;
    // This may run inside the monitor's own dialog call: only ask it to stop, the owner waits later.
    if (m_monitor)
        m_monitor->requestStop();
    // The loop ends without a close event, so the run's settings are kept here.
    saveSettingsOnce();
    QCoreApplication::exit(0);
}

void MainWindow::cancelRunning()
{
    // Only the command running now: the next ones must run.
    const std::shared_ptr<CancelToken> &token = m_adb->cancelToken();
    token->cancel();
    token->reset();
    m_devicePane->cancelListing();
    m_devicePane2->cancelListing();
}

void MainWindow::stopMonitor()
{
    if (m_monitor)
        m_monitor->stop();
}

void MainWindow::showDeviceDialog()
{
    if (m_closing)
        return;
    DeviceDialog form(this);
    if (prompter().exec(form) != QDialog::Accepted) {
        exitProgram();
        return;
    }
    m_offeringPhones = false;
    updatePhoneTitle();
    if (m_fileOps)
        m_fileOps->phoneIsBack();
}

void MainWindow::appEventsActivate()
{
    if (m_monitor && m_monitor->isPaused())
        m_monitor->resume();
}

void MainWindow::appEventsDeactivate()
{
    if (m_monitor && isVisible())
        m_monitor->pause();
}
