#pragma once

#include "base/prompter.h"

#include <QDialog>
#include <QList>

#include <functional>

// Answers the program's questions and dialogs from a script and records what was asked.
class ScriptedPrompter final : public Prompter {
public:
    using DialogAnswer = std::function<int(QDialog &)>;

    void information(QWidget *, const QString &text) override { messages << QStringLiteral("info: ") + text; }
    bool question(QWidget *, const QString &text) override
    {
        messages << QStringLiteral("question: ") + text;
        return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
    }
    void stop(QWidget *, const QString &caption, const QString &text) override
    {
        messages << QStringLiteral("stop: ") + caption + QStringLiteral(": ") + text;
    }
    QString chooseDirectory(QWidget *, const QString &, const QString &start) override
    {
        starts << start;
        return directories.isEmpty() ? QString() : directories.takeFirst();
    }
    QStringList chooseOpenFiles(QWidget *, const QString &, const QString &, const QString &start) override
    {
        starts << start;
        return openFiles.isEmpty() ? QStringList() : openFiles.takeFirst();
    }
    // The filter left chosen comes from saveFilters; none scripted leaves the first of the offered ones.
    QString chooseSaveFile(QWidget *, const QString &, const QString &filter, const QString &start,
                           QString *chosenFilter) override
    {
        starts << start;
        if (chosenFilter)
            *chosenFilter =
                saveFilters.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0) : saveFilters.takeFirst();
        return saveFiles.isEmpty() ? QString() : saveFiles.takeFirst();
    }
    // Unscripted dialogs are cancelled.
    int exec(QDialog &dialog) override
    {
        dialogs << dialog.objectName();
        if (dialogAnswers.isEmpty())
            return QDialog::Rejected;
        return dialogAnswers.takeFirst()(dialog);
    }
    // Unscripted questions about an existing target are answered Skip.
    ReplaceAnswer askReplace(QWidget *, const QString &target, bool batch) override
    {
        messages << QStringLiteral("replace: ") + target + (batch ? QStringLiteral(" (batch)") : QString());
        return replaceAnswers.isEmpty() ? ReplaceAnswer::Skip : replaceAnswers.takeFirst();
    }
    bool openExternal(const QUrl &url) override
    {
        opened << url;
        return true;
    }

    QStringList messages;
    QStringList dialogs;
    QList<DialogAnswer> dialogAnswers;
    QList<bool> questionAnswers;
    QList<ReplaceAnswer> replaceAnswers;
    QStringList directories;
    QList<QStringList> openFiles;
    QStringList saveFiles;
    QStringList saveFilters;
    QStringList starts; // where each chooser opened
    QList<QUrl> opened;
};
