// The keys between the panes, the frame that shows where they go, Help and the Program menu's bookmarks.
#include "app/mainform.h"

#include "appsui/appspane.h"
#include "files/devicepane.h"
#include "files/pcpane.h"
#include "widgets/filepanebase.h"
#include "widgets/keyboardhelp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

void MainWindow::connectKeys()
{
    m_activePane = m_devicePane;
    m_devicePane->setActive(true);
    for (FilePaneBase *pane : std::initializer_list<FilePaneBase *>{m_pcPane, m_devicePane, m_devicePane2, m_appsPane})
        connect(pane, &FilePaneBase::otherPaneRequested, this, [this, pane] { focusOtherSide(pane); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { paneFocused(now); });

    connect(m_bookmarksMenu, &QMenu::aboutToShow, this, [this] { fillBookmarksMenu(m_bookmarksMenu); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction *keys = help->addAction(QStringLiteral("Keyboard shortcuts"));
    keys->setObjectName(QStringLiteral("keyboardHelpAction"));
    keys->setShortcut(QKeySequence::HelpContents);
    connect(keys, &QAction::triggered, this, [this] {
        // One list at a time, beside the window rather than over it: the user tries the keys meanwhile.
        auto *open = findChild<KeyboardHelpDialog *>();
        if (!open) {
            open = new KeyboardHelpDialog(this);
            open->setAttribute(Qt::WA_DeleteOnClose);
        }
        open->show();
        open->raise();
        open->activateWindow();
    });
}

void MainWindow::focusOtherSide(const FilePaneBase *from)
{
    const bool fromLeft = from == m_pcPane || from == m_devicePane2;
    QWidget *target = nullptr;
    if (fromLeft)
        target = m_rightTabs->currentWidget() == m_rightPhoneTab ? m_devicePane->list() : m_appsList;
    else
        target = m_leftTabs->currentWidget() == m_pcTab ? m_pcList : m_devicePane2->list();
    target->setFocus(Qt::TabFocusReason);
}

void MainWindow::paneFocused(QWidget *now)
{
    if (!now)
        return;
    const std::initializer_list<FilePaneBase *> panes{m_pcPane, m_devicePane, m_devicePane2, m_appsPane};
    for (FilePaneBase *pane : panes) {
        if (pane->isAncestorOf(now)) {
            m_activePane = pane;
            break;
        }
    }
    for (FilePaneBase *pane : panes)
        pane->setActive(pane == m_activePane);
}

FilePaneBase *MainWindow::activePane() const
{
    return m_activePane == m_pcPane || m_activePane == m_devicePane2 ? m_activePane : m_devicePane;
}

void MainWindow::fillBookmarksMenu(QMenu *menu)
{
    menu->clear();
    FilePaneBase *active = activePane();
    // Phone folders open in the phone pane in use, PC folders in the PC pane; each is brought to the front.
    DevicePane *phone = active == m_devicePane2 ? m_devicePane2 : m_devicePane;
    auto addSection = [this, menu](const QString &title, const QStringList &items, FilePaneBase *pane) {
        menu->addSection(title);
        addBookmarkEntries(menu, items, [this, pane](const QString &folder) {
            if (pane == m_pcPane)
                m_leftTabs->setCurrentWidget(m_pcTab);
            else if (pane == m_devicePane)
                m_rightTabs->setCurrentWidget(m_rightPhoneTab);
            else
                m_leftTabs->setCurrentWidget(m_leftPhoneTab);
            pane->openBookmark(folder);
        });
    };
    addSection(QStringLiteral("Phone"), m_bookmarks ? m_bookmarks->deviceItems() : QStringList(), phone);
    addSection(QStringLiteral("PC"), m_bookmarks ? m_bookmarks->pcItems() : QStringList(), m_pcPane);
    menu->addSeparator();
    QAction *add = menu->addAction(QStringLiteral("Add the folder shown to bookmarks"));
    add->setObjectName(QStringLiteral("bookmarkAddAction"));
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    add->setShortcutContext(Qt::WidgetShortcut);
    connect(add, &QAction::triggered, active->addBookmarkAction(), &QAction::trigger);
    QAction *remove = menu->addAction(QStringLiteral("Remove the folder shown from bookmarks"));
    remove->setObjectName(QStringLiteral("bookmarkRemoveAction"));
    connect(remove, &QAction::triggered, active->removeBookmarkAction(), &QAction::trigger);
}
