#pragma once

#include "files/filepanebase.h"
#include "files/listitem.h"

#include <functional>

class TADB;

// One phone pane: address box, path tabs, command buttons, the file list with its counters,
// sort menu and quick search. The right pane's controls carry the names ListaPlikow, Adres, ...;
// the left pane's ListaPlikow2, Adres2, ... (see the name table in the source).
class DevicePane final : public FilePaneBase {
    Q_OBJECT
public:
    enum class Side { Right, Left };

    DevicePane(Side side, TADB &adb, QWidget *parent = nullptr);

    Side side() const { return m_side; }
    QPushButton *commandButton(const char *role) const;

    // Refills the list with the contents of a phone folder (or the nearest parent that lists).
    void FillDeviceList(const QString &path);
    void goUp();

    // Run before every fill (the free-space buttons).
    std::function<void()> beforeFill;
    // Double-click on an .apk row: the phone path of the file.
    std::function<void(const QString &)> openApk;

protected:
    void relist() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void enterAddress();
    void choosePathTab(int index);
    void openRow(const QModelIndex &index);

    Side m_side;
    TADB &m_adb;
};
