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

// "Applications Installer": the package files of a PC folder with their labels, versions and sizes,
// the quick search over labels, counters, the sort menu, and Install, Rename and Delete for the
// checked files.
class InstallerPane final : public FilePaneBase {
    Q_OBJECT
public:
    // `target` is asked before an install; null: a phone assumed there, taking every installation type.
    InstallerPane(AdbClient &adb, OperationLog &log, InstallTarget *target = nullptr, QWidget *parent = nullptr);

    // Lists `folder`; false when it holds no package file aapt could read.
    bool loadFolder(const QString &folder);
    const QString &folder() const { return m_folder; }
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
    QList<int> matchingRows(const QString &text) const override;
    void prepareListMenu() override;

private:
    void build();
    void showRows(QList<InstallerRow> rows);
    QPixmap iconFor(const InstallerRow &row);
    bool ensureChecked(const QList<InstallerRow> &rows);
    void deleteRows(const QList<InstallerRow> &rows);

    AdbClient &m_adb;
    OperationLog &m_log;
    InstallTarget *m_target;
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

// The installer in a modal window of its own.
class InstallerDialog final : public QDialog {
    Q_OBJECT
public:
    InstallerDialog(AdbClient &adb, OperationLog &log, InstallTarget *target, QWidget *parent = nullptr);
    InstallerPane *form() const { return m_form; }

private:
    InstallerPane *m_form;
};
