#include "widgets/dialogprompter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Velbrook");

// Open on a folder takes the folder instead of going into it; a double click still goes in.
class FileOrFolderDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() &&
            std::all_of(chosen.cbegin(), chosen.cend(), [](const QString &path) { return QFileInfo::exists(path); }) &&
            std::any_of(chosen.cbegin(), chosen.cend(), [](const QString &path) { return QFileInfo(path).isDir(); }))
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

void WidgetPrompter::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, kCaption, text);
}

bool WidgetPrompter::question(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, kCaption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void WidgetPrompter::stop(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox::critical(parent, caption, text);
}

QString WidgetPrompter::chooseDirectory(QWidget *parent, const QString &title, const QString &start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QStringList WidgetPrompter::chooseOpenFiles(QWidget *parent, const QString &title, const QString &filter,
                                            const QString &start)
{
    return QFileDialog::getOpenFileNames(parent, title, start, filter);
}

QStringList WidgetPrompter::chooseFilesOrFolders(QWidget *parent, const QString &title, const QString &filter,
                                                 const QString &start)
{
    // The desktop's own pickers take files or folders, never both: this one is Qt's.
    FileOrFolderDialog dialog(parent, title, start, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString WidgetPrompter::chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                                       const QString &start, QString *chosenFilter)
{
    // The caller asks the replace question itself, after adding an extension the name may lack: the
    // dialog asking too would ask twice, or about another file.
    return QFileDialog::getSaveFileName(parent, title, start, filter, chosenFilter, QFileDialog::DontConfirmOverwrite);
}

int WidgetPrompter::exec(QDialog &dialog)
{
    return dialog.exec();
}

ReplaceAnswer WidgetPrompter::askReplace(QWidget *parent, const QString &target, bool batch)
{
    QMessageBox box(QMessageBox::Question, kCaption,
                    QStringLiteral("\"") + target + QStringLiteral("\" already exists. Do you want to replace it?"),
                    QMessageBox::NoButton, parent);
    QPushButton *replace = box.addButton(QStringLiteral("Replace"), QMessageBox::AcceptRole);
    QPushButton *skip = box.addButton(QStringLiteral("Skip"), QMessageBox::RejectRole);
    QPushButton *replaceAll = batch ? box.addButton(QStringLiteral("Replace all"), QMessageBox::AcceptRole) : nullptr;
    QPushButton *skipAll = batch ? box.addButton(QStringLiteral("Skip all"), QMessageBox::RejectRole) : nullptr;
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    const QAbstractButton *clicked = box.clickedButton();
    if (clicked == replace)
        return ReplaceAnswer::Replace;
    if (clicked == skip)
        return ReplaceAnswer::Skip;
    if (replaceAll && clicked == replaceAll)
        return ReplaceAnswer::ReplaceAll;
    if (skipAll && clicked == skipAll)
        return ReplaceAnswer::SkipAll;
    return ReplaceAnswer::Cancel;
}

bool WidgetPrompter::openExternal(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
