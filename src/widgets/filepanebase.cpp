#include "widgets/filepanebase.h"

#include "lists/filelistmodel.h"
#include "lists/listengine.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include <algorithm>

namespace {

const QString kSearchPlaceholder = QStringLiteral("Quick Search");

} // namespace

FilePaneBase::FilePaneBase(QWidget *parent) : QWidget(parent) {}

QPushButton *FilePaneBase::button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setToolTip(hint);
    return b;
}

QString FilePaneBase::addressText() const
{
    return m_address->currentText();
}

void FilePaneBase::setAddressText(const QString &text)
{
    m_address->setEditText(text);
}

QComboBox *FilePaneBase::createAddressBox(const char *name, const char *menuName, const char *addBookmark,
                                          const char *removeBookmark)
{
    m_address = named(new QComboBox(this), name);
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setContextMenuPolicy(Qt::CustomContextMenu);
    m_address->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);

    m_addressMenu = named(new QMenu(this), menuName);
    QAction *copy = m_addressMenu->addAction(QStringLiteral("Copy"));
    QAction *paste = m_addressMenu->addAction(QStringLiteral("Paste"));
    m_addressMenu->addSeparator();
    m_addBookmark = named(m_addressMenu->addAction(QStringLiteral("Add to bookmarks")), addBookmark);
    m_removeBookmark = named(m_addressMenu->addAction(QStringLiteral("Remove from bookmarks")), removeBookmark);

    // F5 and Ctrl+R in the box list the folder shown again.
    m_address->installEventFilter(this);
    m_address->lineEdit()->installEventFilter(this);
    connect(m_address, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_addressMenu->popup(m_address->mapToGlobal(pos)); });
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(addressText()); });
    connect(paste, &QAction::triggered, this,
            [this] { m_address->lineEdit()->insert(QApplication::clipboard()->text()); });
    return m_address;
}

void addBookmarkEntries(QMenu *menu, const QStringList &folders, const std::function<void(const QString &)> &open)
{
    for (const QString &folder : folders) {
        QString caption = folder;
        // A "&" in a folder's name is shown, not taken for a menu accelerator.
        QObject::connect(menu->addAction(caption.replace(u'&', QStringLiteral("&&"))), &QAction::triggered, menu,
                         [open, folder] { open(folder); });
    }
    if (folders.isEmpty())
        menu->addAction(QStringLiteral("No bookmarks yet"))->setEnabled(false);
}

QToolButton *FilePaneBase::createBookmarksButton(const char *name)
{
    m_bookmarksButton = named(new QToolButton(this), name);
    m_bookmarksButton->setText(QStringLiteral("\u2605"));
    m_bookmarksButton->setToolTip(QStringLiteral("Bookmarks"));
    m_bookmarksButton->setPopupMode(QToolButton::InstantPopup);
    const QByteArray menuName = QByteArray(name).append("Menu");
    auto *menu = named(new QMenu(m_bookmarksButton), menuName.constData());
    m_bookmarksButton->setMenu(menu);
    // The drop-down's entries are the bookmarks; the menu is made anew each time, as they change.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        menu->clear();
        QStringList folders;
        for (int i = 0; i < m_address->count(); ++i)
            folders << m_address->itemText(i);
        addBookmarkEntries(menu, folders, [this](const QString &folder) { openBookmark(folder); });
        menu->addSeparator();
        menu->addAction(m_addBookmark);
        menu->addAction(m_removeBookmark);
    });
    return m_bookmarksButton;
}

QTabBar *FilePaneBase::createPathTabs(const char *name, const QString &first)
{
    m_tabs = named(new QTabBar(this), name);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    m_tabs->setUsesScrollButtons(true);
    if (!first.isEmpty())
        m_tabs->addTab(first);
    return m_tabs;
}

QPushButton *FilePaneBase::createRefreshButton(const char *name)
{
    m_refresh = button(this, name, QStringLiteral("\u21BB"), QStringLiteral("Refresh directory"));
    m_refresh->setFixedWidth(30);
    connect(m_refresh, &QPushButton::clicked, this, &FilePaneBase::refresh);
    return m_refresh;
}

QPushButton *FilePaneBase::createShowSearchButton(const char *name)
{
    // Not every desktop font has a magnifier glyph; the style's icon is always there.
    auto *b = button(this, name, QString(), QStringLiteral("Show/Hide Quick Search"));
    b->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    b->setFixedWidth(30);
    connect(b, &QPushButton::clicked, this, [this] { m_searchPanel->setVisible(!m_searchPanel->isVisible()); });
    return b;
}

QWidget *FilePaneBase::createSearchPanel(const char *panelName, const char *searchName, const char *clearName)
{
    m_searchPanel = named(new QWidget(this), panelName);
    auto *layout = new QHBoxLayout(m_searchPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_search = named(new QLineEdit(m_searchPanel), searchName);
    m_search->installEventFilter(this);
    auto *clear = button(m_searchPanel, clearName, QStringLiteral("\u2715"), QStringLiteral("Clear Quick Search"));
    clear->setFixedWidth(30);
    layout->addWidget(m_search);
    layout->addWidget(clear);
    m_searchPanel->setVisible(false);
    setSearchPlaceholder(true);

    connect(clear, &QPushButton::clicked, this, [this] {
        m_search->clear();
        m_search->setFocus();
    });
    connect(m_search, &QLineEdit::textChanged, this, &FilePaneBase::searchChanged);
    return m_searchPanel;
}

QListView *FilePaneBase::createList(const char *name, FileRowDelegate::Pane pane)
{
    m_model = new FileListModel(this);
    m_list = named(new QListView(this), name);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new FileRowDelegate(pane, m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    updateFrame();
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->installEventFilter(this);

    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (!m_listMenu)
            return;
        prepareListMenu();
        m_listMenu->popup(m_list->viewport()->mapToGlobal(pos));
    });
    // Marks flipped by any means (box, Ctrl+click, middle button, menu) and highlights both show at once.
    connect(m_model, &QAbstractItemModel::dataChanged, this, &FilePaneBase::updateSelectedCount);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FilePaneBase::updateSelectedCount);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FilePaneBase::updateSelectedCount);
    m_list->installEventFilter(this);
    if (m_addBookmark)
        bindKeys(m_addBookmark, {QKeySequence(Qt::CTRL | Qt::Key_D)});
    return m_list;
}

QHBoxLayout *FilePaneBase::createFooter(const char *sortName, const char *menuName,
                                        const QList<const char *> &itemNames, const QStringList &captions,
                                        const char *selCountName, const char *itemsCountName)
{
    m_sortCaptions = captions;
    m_sortButton = named(new QToolButton(this), sortName);
    m_sortButton->setText(captions.value(0));
    m_sortButton->setToolTip(QStringLiteral("Select Sort Type"));
    m_sortButton->setPopupMode(QToolButton::InstantPopup);
    m_sortButton->setProperty("Tag", 0);
    auto *sortMenu = named(new QMenu(m_sortButton), menuName);
    for (int mode = 0; mode < itemNames.size() && mode < captions.size(); ++mode) {
        QAction *action = named(sortMenu->addAction(captions.at(mode)), itemNames.at(mode));
        action->setData(mode);
        connect(action, &QAction::triggered, this, [this, mode] { chooseSort(mode); });
    }
    m_sortButton->setMenu(sortMenu);

    m_selCount = button(this, selCountName, QStringLiteral("Selected: 0"), QStringLiteral("Reverse selection"));
    m_itemsCount = button(this, itemsCountName, QStringLiteral("Count: 0"), QStringLiteral("Select/Unselect All"));
    connect(m_selCount, &QPushButton::clicked, this, [this] {
        QList<bool> checks = m_model->checks();
        invertChecks(checks, countChecked(checks));
        m_model->setChecks(checks);
    });
    connect(m_itemsCount, &QPushButton::clicked, this, [this] { setChecks(toggleAllByFirst); });

    auto *footer = new QHBoxLayout;
    footer->addWidget(m_sortButton);
    footer->addStretch();
    footer->addWidget(m_selCount);
    footer->addWidget(m_itemsCount);
    return footer;
}

void FilePaneBase::connectCheckCommands(QAction *selectAll, QAction *unselectAll)
{
    connect(selectAll, &QAction::triggered, this, [this] { setChecks(checkAll); });
    connect(unselectAll, &QAction::triggered, this, [this] { setChecks(uncheckAll); });
}

void FilePaneBase::refresh()
{
    m_refresh->setEnabled(false);
    relist();
    m_list->setFocus();
    m_refresh->setEnabled(true);
}

void FilePaneBase::chooseSort(int index)
{
    if (index < 0 || index >= m_sortCaptions.size())
        return;
    m_sortIndex = index;
    m_sortButton->setProperty("Tag", index);
    m_sortButton->setText(m_sortCaptions.at(index));
    relist();
    m_list->setFocus();
}

void FilePaneBase::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    updateFrame();
}

void FilePaneBase::updateFrame()
{
    if (!m_list)
        return;
    m_list->setStyleSheet(QStringLiteral("QListView { background: white; border: 2px solid %1; }")
                              .arg(m_active ? QStringLiteral("#2f6fd0") : QStringLiteral("#d0d0d0")));
}

QAction *FilePaneBase::bindKeys(QAction *action, const QList<QKeySequence> &keys)
{
    action->setShortcuts(keys);
    // Only while the list (or the open menu holding the item) has the focus: each pane has its own.
    action->setShortcutContext(Qt::WidgetShortcut);
    m_list->addAction(action);
    return action;
}

QAction *FilePaneBase::keyCommand(const char *name, const QString &text, const QList<QKeySequence> &keys)
{
    return bindKeys(named(new QAction(text, this), name), keys);
}

void FilePaneBase::showKeys(QAction *item, const QList<QKeySequence> &keys)
{
    item->setShortcuts(keys);
    item->setShortcutContext(Qt::WidgetShortcut);
}

void FilePaneBase::resetCounters()
{
    updateSelectedCount();
    m_itemsCount->setText(QStringLiteral("Count: ") + QString::number(m_model->rowCount()));
}

QList<int> FilePaneBase::markedRows() const
{
    if (!m_model)
        return {};
    const QList<int> checked = m_model->checkedRows();
    if (!checked.isEmpty() || !m_list)
        return checked;
    QList<int> highlighted;
    for (const QModelIndex &index : m_list->selectionModel()->selectedIndexes())
        highlighted << index.row();
    std::sort(highlighted.begin(), highlighted.end());
    return highlighted;
}

void FilePaneBase::updateSelectedCount()
{
    if (m_selCount)
        m_selCount->setText(QStringLiteral("Selected: ") + QString::number(markedRows().size()));
}

void FilePaneBase::setChecks(int (*operation)(QList<bool> &))
{
    QList<bool> checks = m_model->checks();
    operation(checks);
    m_model->setChecks(checks);
}

void FilePaneBase::setPathTabs(const QStringList &tabs)
{
    const QSignalBlocker block(m_tabs);
    while (m_tabs->count() > 0)
        m_tabs->removeTab(0);
    for (const QString &tab : tabs)
        m_tabs->addTab(tab);
    m_tabs->setCurrentIndex(m_tabs->count() - 1);
    // A hidden tab bar does not announce its new height; a bar that started empty would stay flat.
    m_tabs->updateGeometry();
}

void FilePaneBase::selectChildRow(const QString &name)
{
    const QList<ListItem> &rows = m_model->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (itemName(rows.at(i)) == name) {
            m_list->setCurrentIndex(m_model->index(i));
            // Leave a few rows of context above the row the user came from.
            m_list->scrollTo(m_model->index(std::max(0, i - 5)), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void FilePaneBase::searchChanged(const QString &text)
{
    if (!m_list)
        return;
    QItemSelection selection;
    for (int row : matchingRows(text))
        selection.select(m_model->index(row), m_model->index(row));
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QList<int> FilePaneBase::matchingRows(const QString &text) const
{
    return selectMatching(m_model->rows(), text);
}

QList<int> FilePaneBase::rowsWithLabel(const QStringList &labels, const QString &text)
{
    QList<int> rows;
    const QString wanted = text.trimmed();
    if (wanted.isEmpty() || wanted == kSearchPlaceholder)
        return rows;
    for (int i = 0; i < labels.size(); ++i) {
        if (labels.at(i).contains(wanted, Qt::CaseInsensitive))
            rows << i;
    }
    return rows;
}

void FilePaneBase::setSearchPlaceholder(bool placeholder)
{
    QPalette palette = m_search->palette();
    palette.setColor(QPalette::Text,
                     placeholder ? QColor(0x80, 0x80, 0x80) : QApplication::palette().color(QPalette::WindowText));
    m_search->setPalette(palette);
    if (placeholder)
        m_search->setText(kSearchPlaceholder);
}

bool FilePaneBase::handleListKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->matches(QKeySequence::SelectAll)) {
        // Ctrl+A marks every row, so that what is painted, counted and acted on is the same.
        setChecks(checkAll);
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        openCurrentRow();
    } else if (event->key() == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        goToParent();
    } else if (event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier) {
        // Marks or unmarks the row and steps to the next, so that a run of rows is marked key by key; a list
        // just filled starts at its first row.
        const QModelIndex current = m_list->currentIndex().isValid() ? m_list->currentIndex() : m_model->index(0);
        if (current.isValid()) {
            m_model->toggleCheck(current.row());
            if (current.row() + 1 < m_model->rowCount())
                m_list->setCurrentIndex(m_model->index(current.row() + 1));
        }
    } else if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && !(modifiers & Qt::ControlModifier) &&
               isSignalConnected(QMetaMethod::fromSignal(&FilePaneBase::otherPaneRequested))) {
        emit otherPaneRequested();
    } else {
        return false;
    }
    return true;
}

bool FilePaneBase::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search) {
        if (event->type() == QEvent::FocusIn && m_search->text().trimmed() == kSearchPlaceholder) {
            m_search->clear();
            setSearchPlaceholder(false);
        } else if (event->type() == QEvent::FocusOut && m_search->text().trimmed().isEmpty()) {
            setSearchPlaceholder(true);
        }
        return false;
    }
    if (m_list && watched == m_list && event->type() == QEvent::KeyPress) {
        if (handleListKey(static_cast<QKeyEvent *>(event)))
            return true;
    }
    if (m_address && (watched == m_address || watched == m_address->lineEdit()) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F5 || (key->key() == Qt::Key_R && key->modifiers() == Qt::ControlModifier)) {
            refresh();
            return true;
        }
    }
    if (m_list && watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::MiddleButton ||
            (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ControlModifier))) {
            // Flips the mark of the row under the pointer.
            if (index.isValid()) {
                m_list->setCurrentIndex(index);
                m_model->toggleCheck(index.row());
            }
            return true;
        }
        if (mouse->button() == Qt::RightButton && index.isValid())
            m_list->setCurrentIndex(index);
    }
    return QWidget::eventFilter(watched, event);
}
