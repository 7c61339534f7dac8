#pragma once

#include "widgets/filepanebase.h"

#include <functional>

class QModelIndex;
class AdbClient;

// The "Windows Files" page: one folder of the PC as a check list, with the drive box, the path
// tabs, the counters, sort menu and quick search of the phone panes, and the PC's own commands.
// Row commands act on the folder the rows were read from, not on unconfirmed text in the box.
class PcPane final : public FilePaneBase {
    Q_OBJECT
public:
    explicit PcPane(AdbClient &adb, QWidget *parent = nullptr);

    // The folder of the listed rows, ending in the separator; empty before the first listing.
    QString folder() const { return m_folder; }
    QComboBox *drivesBox() const { return m_drives; }
    QPushButton *copyButton() const { return m_copy; }
    bool showApkDetails() const { return m_showApkDetails; }

    // Lists a folder: rows, APK icons, path tabs, counters, address box and drive box.
    void listPcFolder(const QString &folder);

    // Commands, as the buttons and menu items run them.
    void openRow(const QModelIndex &index);
    void goBack();
    void newDirectory();
    void deleteFile();
    void setShowApkDetails(bool on);
    // The installer on the checked package files and folders; with none checked, on the listed folder.
    void openInstaller();
    void openBookmark(const QString &folder) override;

signals:
    // Double-click on an .apk row: the local path of the file.
    void apkOpened(const QString &path);
    void copyToDeviceRequested();
    void installRequested(const QStringList &paths);
    // F6: the marked rows to the phone, the files among them then deleted here.
    void moveToDeviceRequested();

protected:
    void relist() override;
    void openCurrentRow() override;
    void goToParent() override { goBack(); }
    void prepareListMenu() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void enterAddress();
    void chooseAddressEntry();
    // Lists the folder in the address box; a missing one is reported and the box shows `restore` again.
    void openAddress(const QString &restore);
    void choosePathTab(int index);
    void driveChanged(int index);
    void fillDrives(bool details);
    void selectDriveFor(const QString &folder);

    AdbClient &m_adb;
    QString m_folder;
    QString m_lastAddress;
    QComboBox *m_drives = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_apkDetails = nullptr;
    QPushButton *m_installer = nullptr;
    QAction *m_deleteItem = nullptr;
    QAction *m_deleteSeparator = nullptr;
    bool m_showApkDetails = false;
    bool m_drivesWide = false;
};
