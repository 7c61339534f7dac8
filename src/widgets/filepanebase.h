#pragma once

#include "widgets/filerowdelegate.h"

#include <QKeySequence>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>

class FileListModel;
class QAction;
class QComboBox;
class QHBoxLayout;
class QKeyEvent;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QTabBar;
class QToolButton;

// One entry per bookmarked folder in `menu` ("No bookmarks yet" when there is none); choosing one calls `open`.
void addBookmarkEntries(QMenu *menu, const QStringList &folders, const std::function<void(const QString &)> &open);

// What the phone panes and the PC pane share: the address box with its Copy/Paste menu, the path
// tabs, the check list with its mouse handling, the counters, the sort button and the quick search.
class FilePaneBase : public QWidget {
    Q_OBJECT
public:
    QComboBox *address() const { return m_address; }
    QListView *list() const { return m_list; }
    FileListModel *model() const { return m_model; }
    QMenu *listMenu() const { return m_listMenu; }
    QMenu *addressMenu() const { return m_addressMenu; }
    QAction *addBookmarkAction() const { return m_addBookmark; }
    QAction *removeBookmarkAction() const { return m_removeBookmark; }

    QString addressText() const;
    void setAddressText(const QString &text);
    // The rows the commands act on: the checked ones, or when none is checked the highlighted ones; in
    // list order. The footer's "Selected: N" counts them.
    QList<int> markedRows() const;
    int selectedCount() const { return int(markedRows().size()); }
    QLineEdit *searchBox() const { return m_search; }
    QToolButton *sortButton() const { return m_sortButton; }

    // Lists the address box's folder again, with the refresh button held down meanwhile.
    void refresh();
    // Sets the sort menu's entry `index` (the sort button's "Tag") and its caption, and lists again.
    void chooseSort(int index);

    // Lists a bookmarked folder, as choosing it in the address box's drop-down does.
    virtual void openBookmark(const QString &) {}
    // The button beside the address box: the bookmarks, and adding or removing the folder shown.
    QToolButton *bookmarksButton() const { return m_bookmarksButton; }

    // Marks the pane the keys go to: a coloured frame around its list.
    void setActive(bool active);
    bool isActive() const { return m_active; }

signals:
    // Tab or Shift+Tab in the list: the user wants the pane on the other side.
    void otherPaneRequested();

protected:
    explicit FilePaneBase(QWidget *parent = nullptr);

    // Lists the folder in the address box.
    virtual void relist() = 0;
    // Runs just before the list's pop-up menu opens.
    virtual void prepareListMenu() {}
    // Enter and Backspace in the list: opens the current row, goes to the folder above.
    virtual void openCurrentRow() {}
    virtual void goToParent() {}
    // Makes `action` run on `keys` while the list has the focus; the first key shows in every menu holding it.
    QAction *bindKeys(QAction *action, const QList<QKeySequence> &keys);
    // A command of the list's own that only keys reach.
    QAction *keyCommand(const char *name, const QString &text, const QList<QKeySequence> &keys);
    // Shows `keys` beside a menu item that the keys run on something else than the item (the marked rows,
    // where the item takes the row under the pointer); they act only while the menu is open.
    static void showKeys(QAction *item, const QList<QKeySequence> &keys);
    // The rows the quick search highlights (by default those whose name holds the text).
    virtual QList<int> matchingRows(const QString &text) const;
    // The rows whose label holds the search text, whatever its case; none for the placeholder.
    static QList<int> rowsWithLabel(const QStringList &labels, const QString &text);
    QPushButton *refreshButton() const { return m_refresh; }

    // Builders; each names its controls and wires what is common.
    QComboBox *createAddressBox(const char *name, const char *menuName, const char *addBookmark,
                                const char *removeBookmark);
    QToolButton *createBookmarksButton(const char *name);
    QTabBar *createPathTabs(const char *name, const QString &first);
    QPushButton *createRefreshButton(const char *name);
    QPushButton *createShowSearchButton(const char *name);
    QWidget *createSearchPanel(const char *panelName, const char *searchName, const char *clearName);
    QListView *createList(const char *name, FileRowDelegate::Pane pane);
    // Sort button (items named and captioned in mode order) and the two counters.
    QHBoxLayout *createFooter(const char *sortName, const char *menuName, const QList<const char *> &itemNames,
                              const QStringList &captions, const char *selCountName, const char *itemsCountName);
    void connectCheckCommands(QAction *selectAll, QAction *unselectAll);

    // After every refill: the number of rows shown.
    void resetCounters();
    // Shows the count of marked rows.
    void updateSelectedCount();
    void setPathTabs(const QStringList &tabs);
    QTabBar *pathTabs() const { return m_tabs; }
    // The sort menu entry chosen; each pane maps it to its own order.
    int sortIndex() const { return m_sortIndex; }
    // Makes the row the user came from current, with a few rows of context above it.
    void selectChildRow(const QString &name);

    bool eventFilter(QObject *watched, QEvent *event) override;

    static QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint);
    template <typename T> static T *named(T *object, const char *name)
    {
        object->setObjectName(QLatin1String(name));
        return object;
    }

    QMenu *m_listMenu = nullptr;

private:
    void setChecks(int (*operation)(QList<bool> &));
    void searchChanged(const QString &text);
    void setSearchPlaceholder(bool placeholder);
    // The list's own keys; false for a key it leaves to the rest.
    bool handleListKey(QKeyEvent *event);
    void updateFrame();

    QComboBox *m_address = nullptr;
    QMenu *m_addressMenu = nullptr;
    QAction *m_addBookmark = nullptr;
    QAction *m_removeBookmark = nullptr;
    QToolButton *m_bookmarksButton = nullptr;
    QTabBar *m_tabs = nullptr;
    QListView *m_list = nullptr;
    FileListModel *m_model = nullptr;
    QToolButton *m_sortButton = nullptr;
    QStringList m_sortCaptions;
    QPushButton *m_selCount = nullptr;
    QPushButton *m_itemsCount = nullptr;
    QPushButton *m_refresh = nullptr;
    QWidget *m_searchPanel = nullptr;
    QLineEdit *m_search = nullptr;
    int m_sortIndex = 0;
    bool m_active = false;
};
