#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QFileInfo;

// How PC paths look and behave: "/" separated on Linux, "\" separated with drive letters on Windows.
// Folder paths always end in the separator.
namespace platform {

QChar pcSeparator();

// A typed folder as the PC pane shows it: absolute (a relative text is taken against `base`),
// without "." and ".." components, ending in the separator.
QString normalPcFolder(const QString &text, const QString &base);

// Path tabs: on Linux "/" and one per component, on Windows the drive ("C:") and one per
// component. Text after the last separator gives no tab.
QStringList pcPathTabs(const QString &folder);
// The folder that tab `index` stands for.
QString pcPathFromTabs(const QStringList &tabs, int index);
// The folder above; empty for a root, which has none.
QString pcParentFolder(const QString &folder);
// `folder` when it is there, else the nearest folder above it that is.
QString nearestPcFolder(const QString &folder);

// Entries left out unless hidden files are shown: names starting with "." on Linux; the hidden
// and system attributes on Windows.
bool isHiddenPcEntry(const QFileInfo &info);

// One mounted volume for the drive box.
struct PcVolume {
    QString root; // native, ending in the separator
    QString label;
    QString fileSystem;
};
QList<PcVolume> pcVolumes();
// The volume that holds a folder: the longest root that begins the path; -1 when none does.
int pcVolumeIndexFor(const QList<PcVolume> &volumes, const QString &folder);

// Whether a file name may not hold `c` on the PC: "/" and control characters; on Windows also
// the characters its file systems refuse.
bool isRefusedInFileName(QChar c);

// File name of an outside tool's executable ("aapt", "aapt.exe").
QString toolFileName(const QString &tool);

// Renames `from` to `to` in one step, replacing a file or link at `to` as the platform's rename does (QFile::rename
// never replaces). Empty, or why it failed.
QString renameReplacing(const QString &from, const QString &to);

} // namespace platform
