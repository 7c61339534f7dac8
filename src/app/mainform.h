#pragma once

#include "bridge/adbutils.h"
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
class TLoadingForm;
class TLogForm;
class AppsPane;
class AppOperations;
class ConsolePane;
class TStatusMonitor;
class DevicePane;
class FileOperations;
class FilePaneBase;
class PcPane;
enum class Location;
enum class StorageKind;

// The main window: the frame of pages, panes, status strip and menus, and start-up and shut-down.
class TMainForm final : public QMainWindow, public BrowserLayout, private BackupPanes {
    Q_OBJECT
public:
    explicit TMainForm(StartOptions options = {}, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Start-up (see Startup): folders, bridge, device checks, probes, first filling of the panes, monitor.
    void FormCreate();

    // What start-up asks of the window, in its order.
    void LoadSettings();
    void createOperations();
    void prepareFrame();
    void UpdateStorageStatus();
    // The root panel, the menus and pages that need root or busybox, the applications source tabs.
    void showPhoneAbilities();
    // The free-space timer and the presence monitor.
    void startWatching();
    // Saves the settings as closing does, then ends the message loop at once.
    void Exit1Click();
    // Stops the presence monitor; safe to call more than once.
    void stopMonitor();
    // Stops the command start-up waits for and any listing; what follows runs as usual.
    void cancelRunning();

    void ShowDeviceDialog();
    void AppEventsActivate();
    void AppEventsDeactivate();

    // Lists again every pane that shows `key` (a phone folder, a PC folder, or the applications).
    void RefreshLocation(const QString &key, Location where);

    bool appsPageShown() const override;
    bool leftShowsPhone() const override;
    QString pcFolder() const override;

    TADB &mainAdb() { return *MainADB; }
    FileOperations *fileOperations() const { return m_fileOps; }
    TStatusMonitor *statusMonitor() const { return m_monitor.get(); }
    TLogForm *logForm() const { return LogForm; }
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
    // "Phone" -> "Screenshot (beta)": its two items open the screenshot window (mainform_screenshot.cpp).
    void connectScreenshot();
    // The "Phone", "Tools" and "About" commands (mainform_phonemenu.cpp).
    void connectPhoneMenu();
    QWidget *buildAppsPane();
    QWidget *buildConsole();
    // The console page's and the network menu item's wiring (mainform_console.cpp).
    void connectConsole();
    QWidget *buildStatusPanel();
    void FormResize();
    void btnSDFreeClick(StorageKind kind);
    void swapDirectories();
    void enableRowDragging(QListView *list);
    void pageChanged();
    void FormClose();
    void loadBookmarks();
    void connectBookmarkMenu(FilePaneBase &pane, BookmarkLists::Box kind);
    void SaveSettings();
    // Exit and closing both end a run: the settings are written once.
    void SaveSettingsOnce();
    void runStartupCommand();
    // The "Loading..." window over a long step of the applications page.
    void showLoading();
    void hideLoading();
    Location leftSide() const override;
    QString folder(Location side) const override;

    StartOptions m_options;
    std::unique_ptr<TADB> MainADB;
    TLogForm *LogForm = nullptr;
    FileOperations *m_fileOps = nullptr;
    AppOperations *m_appOps = nullptr;
    AppsPane *m_appsPane = nullptr;
    std::unique_ptr<TLoadingForm> m_loading;
    std::unique_ptr<BookmarkLists> m_bookmarks;
    std::unique_ptr<TStatusMonitor> m_monitor;
    bool m_closing = false;
    bool m_settingsSaved = false;

    QTabWidget *Tabs3 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    QTabWidget *Tabs2 = nullptr;
    QTabWidget *Tabs = nullptr;
    QSplitter *Splitter = nullptr;
    QWidget *WindowsTab = nullptr;
    QWidget *AndroidTab = nullptr;
    QWidget *FilesTab = nullptr;
    QWidget *AppsTab = nullptr;
    PcPane *m_pcPane = nullptr;
    QComboBox *CPAdres = nullptr;
    QListView *PCList = nullptr;
    DevicePane *m_devicePane = nullptr;  // right: ListaPlikow, Adres
    DevicePane *m_devicePane2 = nullptr; // left: ListaPlikow2, Adres2
    QPushButton *btnDataFree = nullptr;
    QPushButton *btnSDFree = nullptr;
    QPushButton *btnExtFree = nullptr;
    QListView *AppsList1 = nullptr;
    QWidget *AppsSourcePanel = nullptr;
    QTabBar *AppsSource = nullptr;
    ConsolePane *m_consolePane = nullptr;
    QPushButton *RootPanel = nullptr;
    QAction *Flash1 = nullptr;
    QAction *PowerOff1 = nullptr;
    QAction *N3 = nullptr;
};
