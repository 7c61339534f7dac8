#include "base/chooserfolders.h"

#include "base/appstate.h"
#include "base/inifile.h"
#include "base/prompter.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSection = QStringLiteral("ChooserFolders");

QString &paneFolder()
{
    static QString folder;
    return folder;
}

QString key(Chooser chooser)
{
    switch (chooser) {
    case Chooser::Pull:
        return QStringLiteral("Pull");
    case Chooser::Push:
        return QStringLiteral("Push");
    case Chooser::BackupToPc:
        return QStringLiteral("BackupToPc");
    case Chooser::Install:
        return QStringLiteral("Install");
    case Chooser::Screenshot:
        return QStringLiteral("Screenshot");
    }
    return QString();
}

bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

void setPcPaneFolder(const QString &folder)
{
    paneFolder() = folder;
}

QString chooserStartFolder(Chooser chooser)
{
    const QString remembered = IniFile(appState().settingsFile).text(kSection, key(chooser));
    if (isFolder(remembered))
        return remembered;
    if (isFolder(paneFolder()))
        return paneFolder();
    return platform::defaultPcFolder();
}

void rememberChooserFolder(Chooser chooser, const QString &chosenFolder)
{
    if (chosenFolder.isEmpty() || appState().settingsFile.isEmpty())
        return;
    IniFile ini(appState().settingsFile);
    ini.setText(kSection, key(chooser), QDir::cleanPath(chosenFolder));
    // A folder not kept for the next run is a small loss; the command goes on either way.
    ini.save();
}

QString chooseDirectoryFor(Chooser chooser, QWidget *parent, const QString &title)
{
    const QString folder = prompter().chooseDirectory(parent, title, chooserStartFolder(chooser));
    rememberChooserFolder(chooser, folder);
    return folder;
}

QStringList chooseOpenFilesFor(Chooser chooser, QWidget *parent, const QString &title, const QString &filter)
{
    const QStringList files = prompter().chooseOpenFiles(parent, title, filter, chooserStartFolder(chooser));
    if (!files.isEmpty())
        rememberChooserFolder(chooser, QFileInfo(files.first()).absolutePath());
    return files;
}

QString chooseSaveFileFor(Chooser chooser, QWidget *parent, const QString &title, const QString &filter,
                          const QString &name, QString *chosenFilter)
{
    const QString start = QDir(chooserStartFolder(chooser)).filePath(name);
    const QString file = prompter().chooseSaveFile(parent, title, filter, start, chosenFilter);
    if (!file.isEmpty())
        rememberChooserFolder(chooser, QFileInfo(file).absolutePath());
    return file;
}
