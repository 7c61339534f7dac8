#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class QDialog;
class QWidget;

// The answers to "the target exists already"; the "all" answers hold for the rest of a batch.
enum class ReplaceAnswer { Replace, Skip, ReplaceAll, SkipAll, Cancel };

// Every message box, question, picker and modal dialog goes through here, so that tests can
// answer them from a script instead of a person.
class Prompter {
public:
    virtual ~Prompter() = default;

    // Information box with the caption "Velbrook".
    virtual void information(QWidget *parent, const QString &text) = 0;
    // Yes/No question with a question icon and the caption "Velbrook"; true for Yes.
    virtual bool question(QWidget *parent, const QString &text) = 0;
    // Stop box with its own caption.
    virtual void stop(QWidget *parent, const QString &caption, const QString &text) = 0;

    // Empty text when cancelled.
    virtual QString chooseDirectory(QWidget *parent, const QString &title, const QString &start) = 0;
    virtual QStringList chooseOpenFiles(QWidget *parent, const QString &title, const QString &filter,
                                        const QString &start) = 0;
    // Files matching `filter`, or folders; the same picker as chooseOpenFiles where folders cannot be offered.
    virtual QStringList chooseFilesOrFolders(QWidget *parent, const QString &title, const QString &filter,
                                             const QString &start)
    {
        return chooseOpenFiles(parent, title, filter, start);
    }
    // `chosenFilter` gets the filter the user left selected. The picker never asks about an existing file:
    // the caller does, once it knows the name it will really write.
    virtual QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter, const QString &start,
                                   QString *chosenFilter) = 0;

    // Shows a dialog modally and returns its result.
    virtual int exec(QDialog &dialog) = 0;

    // `target` exists already: replace it? `batch` offers the answers for all the items that follow.
    virtual ReplaceAnswer askReplace(QWidget *parent, const QString &target, bool batch) = 0;

    // Opens a file or web page with the desktop's associated program.
    virtual bool openExternal(const QUrl &url) = 0;
};

Prompter &prompter();

// Asks once per existing target; "Replace all" and "Skip all" answer for the rest of a batch.
class ReplaceQuestion {
public:
    enum class Decision { Write, Skip, Stop };
    ReplaceQuestion(QWidget *parent, bool batch) : m_parent(parent), m_batch(batch) {}
    Decision decide(const QString &target);

private:
    QWidget *m_parent;
    bool m_batch;
    std::optional<bool> m_all;
};
// Replaces the program's prompter (tests install a scripted one); returns the previous one.
std::unique_ptr<Prompter> setPrompter(std::unique_ptr<Prompter> prompter);
