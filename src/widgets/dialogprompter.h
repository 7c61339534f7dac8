#pragma once

#include "base/prompter.h"

// The prompter of the running program: message boxes, file dialogs, the desktop shell.
class WidgetPrompter final : public Prompter {
public:
    void information(QWidget *parent, const QString &text) override;
    bool question(QWidget *parent, const QString &text) override;
    void stop(QWidget *parent, const QString &caption, const QString &text) override;
    QString chooseDirectory(QWidget *parent, const QString &title, const QString &start) override;
    QStringList chooseOpenFiles(QWidget *parent, const QString &title, const QString &filter,
                                const QString &start) override;
    QStringList chooseFilesOrFolders(QWidget *parent, const QString &title, const QString &filter,
                                     const QString &start) override;
    QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter, const QString &start,
                           QString *chosenFilter) override;
    int exec(QDialog &dialog) override;
    ReplaceAnswer askReplace(QWidget *parent, const QString &target, bool batch) override;
    bool openExternal(const QUrl &url) override;
};
