#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class CommandRunner;

// One package file of the installer's folder, as aapt read it.
struct InstallerRow {
    QString label; // the package name when the package has no label
    QString version;
    qint64 sizeKb = 0;
    QString fileName;
    QString package;
    QString path;
    bool bundle = false;
};

enum class InstallerSort { AppName, FileName, Size };

struct InstallerReadOptions {
    QString tempDir;   // bundles' base parts and icons are unpacked below it
    QString iconsDir;  // missing icons are written there as <package>.apk.png; empty: none
    QString cacheFile; // what was read survives the run there; empty: only in memory
    int workers = 0;   // threads, each with one aapt or aapt2 run at a time; 0: one per core
    // Runs aapt; shared by the workers, so it must take calls from several threads. Null: a plain child process.
    std::shared_ptr<CommandRunner> runner;
};

struct InstallerFolder {
    QList<InstallerRow> rows; // in file name order
    QStringList unreadable;   // paths of the files aapt could not read
    QStringList notPackages;  // paths given that are neither a folder nor a package file
};

// Lists the folder's package files (".apk" and ".apks", case counts; hidden files and folders left
// out) and reads each one. A file read before with the same size and time is not read again.
InstallerFolder readInstallerFolder(const QString &folder, const InstallerReadOptions &options);
// The same for files and folders picked or dropped together: each folder gives its package files, each
// file itself; a file given twice is listed once.
InstallerFolder readInstallerSources(const QStringList &paths, const InstallerReadOptions &options);

// Stable: rows that compare equal keep their order. Size puts the largest first.
void sortInstallerRows(QList<InstallerRow> &rows, InstallerSort sort);

// "Label vVersion" and the file's extension (packageFileName: refused characters replaced, no leading dot, a long
// label shortened before the version).
QString installerFileName(const InstallerRow &row);

struct RenameResult {
    enum Outcome { Renamed, Kept, Failed };
    Outcome outcome = Failed;
    QString name;   // the file's name afterwards
    QString reason; // why it failed, in plain words
};

// Renames the row's file in `folder` after its label and version. Another file never gets replaced: when one holds
// the name (compared without regard to case, as Windows would), or an earlier row of the batch took it (`taken`:
// folded names), the first free "Name vX (2).apk" is used.
RenameResult renameInstallerFile(const InstallerRow &row, const QString &folder, QSet<QString> &taken);

// Moves a file to the trash, or deletes it where there is none; empty, or why it failed in plain words.
QString deleteInstallerFile(const QString &path);

// Forgets what was read in this run (the file written to `cacheFile` stays).
void clearInstallerCache();
