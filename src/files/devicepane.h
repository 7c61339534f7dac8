#pragma once

#include "widgets/filepanebase.h"
#include "bridge/listingparser.h"
#include "lists/listitem.h"

#include <array>
#include <functional>
#include <memory>

class CancelToken;
class QLabel;
class AdbClient;

// One phone pane: address box, path tabs, command buttons, the file list with its counters,
// sort menu and quick search. The right pane's controls carry the names fileList, addressBox, ...;
// the left pane's fileList2, addressBox2, ... (see the name table in the source).
class DevicePane final : public FilePaneBase {
    Q_OBJECT
public:
    enum class Side { Right, Left };
    // The command row's buttons, the same on both sides.
    enum class Command { Copy, Push, Pull, Delete };
    // The list menu's items that commands are wired to or shown with.
    enum class MenuItem { PullAndOpen, PullAndOpenSeparator, Pull, Delete, Rename, NewDirectory };

    DevicePane(Side side, AdbClient &adb, QWidget *parent = nullptr);

    Side side() const { return m_side; }
    QPushButton *commandButton(Command command) const { return m_commands.at(std::size_t(command)); }
    QAction *menuAction(MenuItem item) const { return m_menuItems.at(std::size_t(item)); }
    // F6: move the marked rows to the other side; the file commands run it.
    QAction *moveAction() const { return m_move; }
    // The button that swaps the two panes' folders; the left pane has it, the right one not.
    QPushButton *swapButton() const { return m_swap; }

    // Shows a phone folder's rows. When the folder cannot be listed, the rows and address of the folder
    // shown so far stay and the pane says why. A newer navigation cancels one still running; false
    // when the folder is not the one shown now.
    bool fillDeviceList(const QString &path);
    void goUp();

    // The folder whose rows are shown (ends in "/"); every command acts in it, never in typed text.
    const QString &folder() const { return m_folder; }
    DeviceSort sortOrder() const;
    bool isListing() const { return m_listing != nullptr; }
    // Stops a listing still running; the pane keeps what it showed.
    void cancelListing();
    void openBookmark(const QString &folder) override;
    // What the pane says about its listing ("Cannot open ...", "3 entries could not be read").
    QString note() const;

signals:
    // Double-click on an .apk row: the phone path of the file.
    void apkOpened(const QString &path);

protected:
    void relist() override;
    void openCurrentRow() override;
    void goToParent() override { goUp(); }
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void enterAddress();
    void choosePathTab(int index);
    void openRow(const QModelIndex &index);
    void openLink(const ListItem &row);
    void setBusy(const QString &path);
    void setNote(const QString &text, const QStringList &details, bool error);

    Side m_side;
    AdbClient &m_adb;
    std::array<QPushButton *, 4> m_commands{};
    std::array<QAction *, 6> m_menuItems{};
    QPushButton *m_swap = nullptr;
    QAction *m_move = nullptr;
    QString m_folder;
    QLabel *m_note = nullptr;
    std::shared_ptr<CancelToken> m_listing; // the navigation running now
    quint64 m_generation = 0;
};
