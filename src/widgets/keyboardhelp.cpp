#include "widgets/keyboardhelp.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <iterator>

namespace {

struct KeyRow {
    const char *keys;
    const char *action;
};

// clang-format off
const KeyRow kRows[] = {
    {"Enter", "Open the folder, or the information window of an APK file"},
    {"Backspace", "Go up one folder"},
    {"Tab", "Switch to the pane on the other side"},
    {"Insert", "Mark or unmark the row, then move down"},
    {"Ctrl+A", "Mark all rows"},
    {"F5", "Copy the marked rows to the other side"},
    {"F6", "Move the marked rows to the other side: copy, then delete those that arrived"},
    {"F7", "New folder"},
    {"F8, Delete", "Delete the marked rows"},
    {"F2", "Rename the row (phone panes)"},
    {"Ctrl+R", "List the folder again (F5 in the address box)"},
    {"Ctrl+D", "Add the folder shown to the bookmarks"},
    {"F1", "Show this list"},
};
// clang-format on

} // namespace

KeyboardHelpDialog::KeyboardHelpDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("KeyboardHelp"));
    setWindowTitle(QStringLiteral("Keyboard shortcuts"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("These keys work in the file list that has the focus (the one with the blue frame)."), this));
    auto *table = new QTableWidget(int(std::size(kRows)), 2, this);
    table->setObjectName(QStringLiteral("keyTable"));
    table->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Action")});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < int(std::size(kRows)); ++i) {
        table->setItem(i, 0, new QTableWidgetItem(QString::fromLatin1(kRows[i].keys)));
        table->setItem(i, 1, new QTableWidgetItem(QString::fromLatin1(kRows[i].action)));
    }
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    // The whole list at once, without scrolling.
    int height = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    for (int i = 0; i < table->rowCount(); ++i)
        height += table->rowHeight(i);
    table->setMinimumHeight(height);
    table->setMinimumWidth(table->columnWidth(0) + table->columnWidth(1) + 2 * table->frameWidth() + 24);
    layout->addWidget(table);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}
