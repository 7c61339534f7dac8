#pragma once

#include "appsui/appdialogs.h"
#include "apps/installerfolder.h"
#include "widgets/filepanebase.h"
#include "widgets/rowpainting.h"

#include <QDateTime>
#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QSet>

class InstallTarget;
class InstallerRowDelegate;
class OperationLog;
class QAction;
class QLabel;
class AdbClient;

// Asks for package files or folders to install, starting in `start`; empty when cancelled.
QStringList chooseInstallSources(QWidget *parent, const QString &start);
// What to tell when these sources hold no application that could be read.
QString noApplicationsText(const QStringList &sources);

// "Applications Installer": the package files of PC folders, or package files picked or dropped one by
// one, with their labels, versions and sizes, the quick search over labels, counters, the sort menu, and
// Install, Rename and Delete for the checked files.
class InstallerPane final : public FilePaneBase {
    Q_OBJECT
public:
    // `target` is asked before an install; null: a phone assumed there, taking every installation type.
    InstallerPane(AdbClient &adb, OperationLog &log, InstallTarget *target = nullptr, QWidget *parent = nullptr);

    // Lists `folder`; false when it holds no package file aapt could read.
    bool loadFolder(const QString &folder);
    // Lists the package files of these folders and these files themselves; false when none could be read.
    bool loadSources(const QStringList &paths);
    // Lists these as well as what is listed already.
    bool addSources(const QStringList &paths);
    const QStringList &sources() const { return m_sources; }
    // The rows in the order shown.
    const QList<InstallerRow> &rows() const { return m_rows; }
    QList<InstallerRow> checkedRows() const;
    // The row the menu or a double click acts on; null in an empty list.
    const InstallerRow *currentRow() const;

    void installChecked();
    void renameChecked();
    void deleteChecked();
    void deleteCurrent();
    void changeSource();
    void reload();
    void showInfo();

signals:
    void infoRequested(const QString &path);
    // After installs, so that the applications list can be read again.
    void installed();

protected:
    // The sort menu: the rows read are ordered again, nothing is read.
    void relist() override;
    // Package files and folders dropped from the desktop join the list.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    QList<int> matchingRows(const QString &text) const override;
    void prepareListMenu() override;

private:
    void build();
    void showRows(QList<InstallerRow> rows);
    QPixmap iconFor(const InstallerRow &row);
    bool ensureChecked(const QList<InstallerRow> &rows);
    void deleteRows(const QList<InstallerRow> &rows);
    // The sources as the window and the log name them.
    QString sourceText() const;

    AdbClient &m_adb;
    OperationLog &m_log;
    InstallTarget *m_target;
    QStringList m_sources;
    QList<InstallerRow> m_rows;
    InstallerRowDelegate *m_delegate = nullptr;
    QLabel *m_source = nullptr;
    QAction *m_openInfo = nullptr;
    QAction *m_delete = nullptr;
    // Each unreadable file is told once while it stays the same.
    QSet<QString> m_reported;
    RowIconCache m_icons;
};

// The installer in a modal window of its own.
class InstallerDialog final : public QDialog {
    Q_OBJECT
public:
    InstallerDialog(AdbClient &adb, OperationLog &log, InstallTarget *target, QWidget *parent = nullptr);
    InstallerPane *form() const { return m_form; }

private:
    InstallerPane *m_form;
};
