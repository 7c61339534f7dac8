#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The commands that ask for a place on the PC; each remembers the folder last chosen for it.
enum class Chooser { Pull, Push, BackupToPc, Install, Screenshot };

// The PC pane's folder, where a command's chooser opens until the user has chosen a folder for it.
void setPcPaneFolder(const QString &folder);

// Where the chooser for `chooser` opens: the folder last chosen for it while it is still there, else the PC
// pane's folder, else the user's home.
QString chooserStartFolder(Chooser chooser);
// Keeps the folder of a chosen file or folder for the chooser's next time (in settings.ini, for the next run).
void rememberChooserFolder(Chooser chooser, const QString &chosenFolder);

// The prompter's choosers, opened in chooserStartFolder() and remembering what the user chose.
QString chooseDirectoryFor(Chooser chooser, QWidget *parent, const QString &title);
QStringList chooseOpenFilesFor(Chooser chooser, QWidget *parent, const QString &title, const QString &filter);
QString chooseSaveFileFor(Chooser chooser, QWidget *parent, const QString &title, const QString &filter,
                          const QString &name, QString *chosenFilter);
