#pragma once

#include "lists/listitem.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

class AdbClient;

// One line of the phone's "ls -l" output, in the short (7 columns, 8 with toybox's link count) or long
// (11 columns, "-e") form.
std::optional<ListItem> parseListingLine(const QString &line, bool shortListing);

// The size of one phone file as "ls -l <path>" shows it; -1 when it shows no file there (missing, a
// folder, a complaint, no phone).
qint64 listedFileSize(AdbClient &adb, const QString &path, bool shortListing);

// One listing of a phone folder as the pane shows it.
struct DeviceListing {
    QString path;            // the folder the rows belong to
    QList<ListItem> rows;    // folders first, each group sorted by the pane's mode
    QStringList problems;    // lines that were not rows: entries the phone would not show, its complaints
    bool ok = true;          // false: the folder could not be listed and `rows` is empty
    QString error;           // why not, in the phone's or adb's words
    bool needsNames = false; // a link's own name holds " -> ": the plain names tell where it ends
};

// The text the shell echoes after ls, so that a listing cut short can be told from a complete one.
QString listingEndMarker();

// The orders a phone pane offers: folders and files by name, both newest first, or folders by name
// and files largest first.
enum class DeviceSort { Name, Date, Size };

// Reads what listFolder printed. `names` (the folder's plain names) settles links whose name holds " -> ".
DeviceListing parseDeviceListing(const QString &output, const QString &path, bool shortListing, DeviceSort sort,
                                 const QSet<QString> *names = nullptr);

// Lists one phone folder. A folder that cannot be listed gives ok == false and the reason; no
// other folder is listed in its place.
DeviceListing listDeviceFolder(AdbClient &adb, const QString &path, bool shortListing, DeviceSort sort);

// The user's storage as the phone lists it: "/sdcard/", or "/storage/emulated/0/" where only that lists;
// "/" when neither does.
QString userStorageFolder(AdbClient &adb, bool shortListing);

// What the pane says beside or instead of the rows; empty when there is nothing to say.
QString listingNote(const DeviceListing &listing);

// Path tabs: "/" and one tab per complete component; text after the last "/" gets no tab.
QStringList fillPathTabs(const QString &path);
