#pragma once

#include "files/listitem.h"

#include <QWidget>

#include <functional>

class FileListModel;
class QComboBox;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QTabBar;
class QToolButton;
class TADB;

// One phone pane: address box, path tabs, command buttons, the file list with its counters,
// sort menu and quick search. The right pane's controls carry the names ListaPlikow, Adres, ...;
// the left pane's ListaPlikow2, Adres2, ... (see the name table in the source).
class DevicePane final : public QWidget {
    Q_OBJECT
public:
    enum class Side { Right, Left };

    DevicePane(Side side, TADB &adb, QWidget *parent = nullptr);

    Side side() const { return m_side; }
    QComboBox *address() const { return m_address; }
    QListView *list() const { return m_list; }
    FileListModel *model() const { return m_model; }
    QMenu *listMenu() const { return m_listMenu; }
    QMenu *addressMenu() const { return m_addressMenu; }
    QPushButton *commandButton(const char *role) const;

    QString addressText() const;
    void setAddressText(const QString &text);
    int sortMode() const { return m_sortMode; }
    int selectedCount() const { return m_selectedCount; }

    // Refills the list with the contents of a phone folder (or the nearest parent that lists).
    void FillDeviceList(const QString &path);
    // Lists the address box's folder again, with the refresh button held down meanwhile.
    void refresh();
    void goUp();
    void chooseSort(int mode);

    // Run before every fill (the free-space buttons).
    std::function<void()> beforeFill;
    // Double-click on an .apk row: the phone path of the file.
    std::function<void(const QString &)> openApk;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void enterAddress();
    void choosePathTab(int index);
    void openRow(const QModelIndex &index);
    void selectChildRow(const QString &name);
    void setSelectedCount(int count);
    void setChecks(int (*operation)(QList<bool> &));
    void searchChanged(const QString &text);
    void setSearchPlaceholder(bool placeholder);

    Side m_side;
    TADB &m_adb;
    QComboBox *m_address = nullptr;
    QTabBar *m_tabs = nullptr;
    QListView *m_list = nullptr;
    FileListModel *m_model = nullptr;
    QToolButton *m_sortButton = nullptr;
    QPushButton *m_selCount = nullptr;
    QPushButton *m_itemsCount = nullptr;
    QPushButton *m_refresh = nullptr;
    QWidget *m_searchPanel = nullptr;
    QLineEdit *m_search = nullptr;
    QMenu *m_listMenu = nullptr;
    QMenu *m_addressMenu = nullptr;
    int m_sortMode = 0;
    int m_selectedCount = 0;
};
