#include "base/prompter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

std::unique_ptr<Prompter> &current()
{
    static std::unique_ptr<Prompter> instance = std::make_unique<WidgetPrompter>();
    return instance;
}

const QString kCaption = QStringLiteral("Velbrook");

} // namespace

Prompter &prompter()
{
    return *current();
}

std::unique_ptr<Prompter> setPrompter(std::unique_ptr<Prompter> prompter)
{
    std::unique_ptr<Prompter> previous = std::move(current());
    current() = std::move(prompter);
    return previous;
}

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

ReplaceQuestion::Decision ReplaceQuestion::decide(const QString &target)
{
    if (m_all)
        return *m_all ? Decision::Write : Decision::Skip;
    switch (prompter().askReplace(m_parent, target, m_batch)) {
    case ReplaceAnswer::Replace:
        return Decision::Write;
    case ReplaceAnswer::Skip:
        return Decision::Skip;
    case ReplaceAnswer::ReplaceAll:
        m_all = true;
        return Decision::Write;
    case ReplaceAnswer::SkipAll:
        m_all = false;
        return Decision::Skip;
    case ReplaceAnswer::Cancel:
        break;
    }
    return Decision::Stop;
}
