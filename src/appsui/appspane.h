#pragma once

#include "apps/appsloader.h"
#include "widgets/filepanebase.h"
#include "widgets/rowpainting.h"

#include <QDateTime>
#include <QHash>
#include <QPixmap>

#include <array>
#include <functional>
#include <memory>

class AppInfoReader;
class AppRowDelegate;
class OperationLog;
class QAction;
class QLabel;
class QTabBar;
class AdbClient;

// The "Applications Manager" page: the installed packages with icon, label, file name, date and
// size, the quick search over labels, filter and sort menus, the storage tabs, counters, the
// command buttons and the row menu. The commands themselves are AppOperations'.
class AppsPane final : public FilePaneBase {
    Q_OBJECT
public:
    enum class Command { Backup, Uninstall, Install, BackupToPc };
    enum class MenuItem { OpenInfo, Backup, Uninstall, Move, MoveSelected, SelectAll, UnselectAll, Refresh };

    AppsPane(AdbClient &adb, AppStorage &storage, OperationLog &log, QWidget *parent = nullptr);
    ~AppsPane() override;

    // After start-up: filter captions and what the phone's storage allows.
    void showPhoneKind();
    // The first visit of the page fills the list; later visits keep it.
    void firstVisit();
    bool isLoaded() const { return m_loaded; }

    // Lists the phone, looks the rows up in the catalogue, and reads in the background what it lacks.
    void loadApplications();
    // After an install, a move or an uninstall: both storage tabs are listed again.
    void packagesChanged();
    // Labels and icons are being read in the background; the progress line shows how far.
    bool isReadingInfo() const;
    QLabel *progressLine() const { return m_progress; }
    void updateMissingInfo();
    void reloadAllInfo();
    void chooseFilter(AppsFilter filter);
    void chooseSource(int index);

    AppsLoader &loader();
    AppsFilter filter() const { return m_filter; }
    bool secureShown() const { return m_secureShown; }
    // The row the menu or a double click acts on; null in an empty list.
    const ListItem *currentRow() const;
    QList<ListItem> checkedRows() const;

    QPushButton *commandButton(Command command) const { return m_commands.at(std::size_t(command)); }
    QAction *menuAction(MenuItem item) const { return m_menuItems.at(std::size_t(item)); }
    QToolButton *filterButton() const { return m_filterButton; }
    QWidget *sourcePanel() const { return m_sourcePanel; }
    QTabBar *sourceTabs() const { return m_source; }
    const QList<QPixmap> &rowIcons() const;

signals:
    // The first reading of the list runs between these two; the window shows it is busy.
    void loadingStarted();
    void loadingFinished();
    // Free space changes after the list was read again.
    void storageChanged();
    void commandRequested(AppsPane::Command command);
    void menuRequested(AppsPane::MenuItem item);
    void openInfoRequested();
    // The background reading of labels and icons ended (done or cancelled by a newer listing).
    void infoReadFinished();

protected:
    void relist() override;
    QList<int> matchingRows(const QString &text) const override;
    void prepareListMenu() override;

private:
    void build();
    // "Move" needs a row, an ext partition and root; its tooltip says which is missing.
    void enableMove(bool rowChosen);
    // The listing and the catalogue; what they lack is read in the background.
    void fillFromPhone();
    void fill(const AppsLoad &load);
    void packageRead(const QString &key, const QString &label, const QString &versionCode);
    // Shows only the rows whose label or package holds the search text, the first of them current.
    void filterRows();
    void setRowIcons();

    AdbClient &m_adb;
    AppStorage &m_storage;
    OperationLog &m_log;
    std::unique_ptr<AppsLoader> m_loader;
    std::unique_ptr<AppInfoReader> m_reader;
    std::unique_ptr<AppsInfoUpdater> m_updater;
    BackgroundInfoReader *m_background = nullptr;
    QLabel *m_progress = nullptr;
    AppRowDelegate *m_delegate = nullptr;
    std::array<QPushButton *, 4> m_commands{};
    std::array<QAction *, 8> m_menuItems{};
    QToolButton *m_filterButton = nullptr;
    QList<QAction *> m_filterItems;
    QWidget *m_sourcePanel = nullptr;
    QTabBar *m_source = nullptr;
    QLabel *m_note = nullptr;
    AppsFilter m_filter = AppsFilter::All;
    bool m_loaded = false;
    bool m_secureShown = false;
    // The rows of the storage tab not shown, trusted while m_otherValid holds.
    QList<ListItem> m_otherRows;
    RowIconCache m_iconCache;
    bool m_otherValid = false;
};
