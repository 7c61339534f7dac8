#pragma once

#include "bridge/adbutils.h"
#include "bridge/devicechoice.h"
#include "base/appstate.h"
#include "base/bookmarks.h"
#include "appsui/backuppanes.h"
#include "files/browserlayout.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabBar;
class QTabWidget;
class LoadingDialog;
class OperationLogDialog;
class AppsPane;
class AppOperations;
class ConsolePane;
class StatusMonitor;
class DevicePane;
class FileOperations;
class FilePaneBase;
class PcPane;
enum class Location;
enum class StorageKind;

// The main window: the frame of pages, panes, status strip and menus, and start-up and shut-down.
class MainWindow final : public QMainWindow, public BrowserLayout, private BackupPanes {
    Q_OBJECT
public:
    explicit MainWindow(StartOptions options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up (see Startup): folders, bridge, device checks, probes, first filling of the panes, monitor.
    void startUp();

    // What start-up asks of the window, in its order.
    void loadSettings();
    void createOperations();
    void prepareFrame();
    void updateStorageStatus();
    // The root panel, the menus and pages that need root or busybox, the applications source tabs.
    void showPhoneAbilities();
    // The free-space timer and the presence monitor.
    void startWatching();
    // Saves the settings as closing does, then ends the message loop at once.
    void exitProgram();
    // Stops the presence monitor; safe to call more than once.
    void stopMonitor();
    // Stops the command start-up waits for and any listing; what follows runs as usual.
    void cancelRunning();

    // The monitor found no phone to work with: the device window for a phone missing or not usable, the
    // "Use phone" menu, not a window, when several are there to choose from.
    void phoneMissing(DeviceSituation situation);
    void showDeviceDialog();
    // "Velbrook <version> - Pixel 5 (serial)": the phone every command goes to.
    void updatePhoneTitle();
    // Makes the phone with this serial the one every later command goes to.
    void usePhone(const QString &serial);
    void appEventsActivate();
    void appEventsDeactivate();

    // Lists again every pane that shows `key` (a phone folder, a PC folder, or the applications).
    void refreshLocation(const QString &key, Location where);

    bool appsPageShown() const override;
    bool leftShowsPhone() const override;
    QString pcFolder() const override;

    AdbClient &mainAdb() { return *m_adb; }
    FileOperations *fileOperations() const { return m_fileOps; }
    StatusMonitor *statusMonitor() const { return m_monitor.get(); }
    OperationLogDialog *logForm() const { return m_logDialog; }
    DevicePane *devicePane() const { return m_devicePane; }
    DevicePane *devicePane2() const { return m_devicePane2; }
    PcPane *pcPane() const { return m_pcPane; }
    AppsPane *appsPane() const { return m_appsPane; }
    AppOperations *appOperations() const { return m_appOps; }
    ConsolePane *consolePane() const { return m_consolePane; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFrame();
    void buildMenu();
    // "Phone" -> "Screenshot" opens the screenshot window (mainform_screenshot.cpp).
    void connectScreenshot();
    // The "Phone", "Tools" and "About" commands (mainform_phonemenu.cpp).
    void connectPhoneMenu();
    QWidget *buildAppsPane();
    QWidget *buildConsole();
    // The console page's and the network menu item's wiring (mainform_console.cpp).
    void connectConsole();
    // "Phone" -> "Use phone": the phones adb lists, to switch between (mainform_phone.cpp).
    void connectPhoneChoice();
    QWidget *buildStatusPanel();
    void layOutPanes();
    void btnSDFreeClick(StorageKind kind);
    void swapDirectories();
    void enableRowDragging(QListView *list);
    void pageChanged();
    void shutDown();
    void loadBookmarks();
    void connectBookmarkMenu(FilePaneBase &pane, BookmarkLists::Box kind);
    // The keys between the panes, the frame of the active pane, Help and Program -> Bookmarks
    // (mainform_keys.cpp).
    void connectKeys();
    void fillBookmarksMenu(QMenu *menu);
    void focusOtherSide(const FilePaneBase *from);
    void paneFocused(QWidget *now);
    // The file pane the keys went to last: the PC pane or a phone pane.
    FilePaneBase *activePane() const;
    void saveSettings();
    // Exit and closing both end a run: the settings are written once.
    void saveSettingsOnce();
    void runStartupCommand();
    // The "Loading..." window over a long step of the applications page.
    void showLoading();
    void hideLoading();
    Location leftSide() const override;
    QString folder(Location side) const override;

    StartOptions m_options;
    std::unique_ptr<AdbClient> m_adb;
    OperationLogDialog *m_logDialog = nullptr;
    FileOperations *m_fileOps = nullptr;
    AppOperations *m_appOps = nullptr;
    AppsPane *m_appsPane = nullptr;
    std::unique_ptr<LoadingDialog> m_loading;
    std::unique_ptr<BookmarkLists> m_bookmarks;
    std::unique_ptr<StatusMonitor> m_monitor;
    bool m_closing = false;
    bool m_settingsSaved = false;
    QMenu *m_usePhoneMenu = nullptr;
    // The menu was offered for the present choice: not again each second until a phone is chosen.
    bool m_offeringPhones = false;
    // While adb connects to a network phone its server may answer late or list a phone half there: the
    // monitor's verdict waits for the result.
    bool m_connectingPhone = false;

    QTabWidget *m_pageTabs = nullptr;
    QWidget *m_filesPage = nullptr;
    QWidget *m_consolePage = nullptr;
    QTabWidget *m_leftTabs = nullptr;
    QTabWidget *m_rightTabs = nullptr;
    QSplitter *m_paneSplitter = nullptr;
    QWidget *m_pcTab = nullptr;
    QWidget *m_leftPhoneTab = nullptr;
    QWidget *m_rightPhoneTab = nullptr;
    QWidget *m_appsTab = nullptr;
    PcPane *m_pcPane = nullptr;
    QComboBox *m_pcAddress = nullptr;
    QListView *m_pcList = nullptr;
    DevicePane *m_devicePane = nullptr;  // right: fileList, addressBox
    DevicePane *m_devicePane2 = nullptr; // left: fileList2, addressBox2
    QPushButton *m_dataFreeButton = nullptr;
    QPushButton *m_sdFreeButton = nullptr;
    QPushButton *m_extFreeButton = nullptr;
    QListView *m_appsList = nullptr;
    QWidget *m_appsSourcePanel = nullptr;
    QTabBar *m_appsSourceTabs = nullptr;
    ConsolePane *m_consolePane = nullptr;
    QPushButton *m_rootButton = nullptr;
    QAction *m_flashAction = nullptr;
    QAction *m_powerOffAction = nullptr;
    QAction *m_powerOffSeparator = nullptr;
    FilePaneBase *m_activePane = nullptr;
    QMenu *m_bookmarksMenu = nullptr;
};
