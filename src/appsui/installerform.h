#pragma once

#include "appsui/appdialogs.h"
#include "apps/installerfolder.h"
#include "widgets/filepanebase.h"
#include "widgets/rowpainting.h"

#include <QDateTime>
#include <QHash>
#include <QPixmap>
#include <QSet>

#include <functional>

class InstallerRowDelegate;
class OperationLog;
class QAction;
class QLabel;
class TADB;

// "Applications Installer": the package files of a PC folder with their labels, versions and sizes,
// the quick search over labels, counters, the sort menu, and Install, Rename and Delete for the
// checked files.
class TInstallerForm final : public FilePaneBase {
    Q_OBJECT
public:
    TInstallerForm(TADB &adb, OperationLog &log, QWidget *parent = nullptr);

    // Lists `folder`; false when it holds no package file aapt could read.
    bool LoadFolder(const QString &folder);
    const QString &folder() const { return m_folder; }
    // The rows in the order shown.
    const QList<InstallerRow> &rows() const { return m_rows; }
    QList<InstallerRow> checkedRows() const;
    // The row the menu or a double click acts on; null in an empty list.
    const InstallerRow *currentRow() const;

    void InstallChecked();
    void RenameChecked();
    void DeleteChecked();
    void DeleteCurrent();
    void ChangeSource();
    void Reload();
    void OpenInfo();

    // Whether a phone is there to install to; unset: assumed.
    std::function<bool()> devicePresent;
    // What the phone's package manager accepts; unset: every choice.
    std::function<InstallChoices()> installChoices;
    std::function<void(const QString &path)> openInfo;
    // After installs, so that the applications list can be read again.
    std::function<void()> installed;

protected:
    // The sort menu: the rows read are ordered again, nothing is read.
    void relist() override;
    QList<int> matchingRows(const QString &text) const override;
    void prepareListMenu() override;

private:
    void build();
    void showRows(QList<InstallerRow> rows);
    QPixmap iconFor(const InstallerRow &row);
    bool ensureChecked(const QList<InstallerRow> &rows);
    void deleteRows(const QList<InstallerRow> &rows);

    TADB &m_adb;
    OperationLog &m_log;
    QString m_folder;
    QList<InstallerRow> m_rows;
    InstallerRowDelegate *m_delegate = nullptr;
    QLabel *m_source = nullptr;
    QAction *m_openInfo = nullptr;
    QAction *m_delete = nullptr;
    // Each unreadable file is told once while it stays the same.
    QSet<QString> m_reported;
    RowIconCache m_icons;
};

class QDialog;

// Opens the installer for `folder` in a modal window of its own. With no package file there it says
// "No applications in directory to show." and shows nothing; false then. `whileLoading` runs the
// folder's reading under the "Loading..." window; `prepare` sets the form's hooks.
bool ShowInstaller(QWidget *parent, TADB &adb, OperationLog &log, const QString &folder,
                   const std::function<void(TInstallerForm &)> &prepare,
                   const std::function<void(const std::function<void()> &)> &whileLoading = {});
