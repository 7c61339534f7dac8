#pragma once

#include "files/listitem.h"

#include <QList>
#include <QStringList>

#include <optional>

class TADB;

// One line of the phone's "ls -l" output, in the short (7 columns) or long (11 columns, "-e") form.
std::optional<ListItem> ParseListingLine(const QString &line, bool shortListing);

// Rows of one listing: folders first, each group sorted by the pane's mode (0 name, 1 date, 2 size).
// False when a line does not parse or a key does not convert. Known error answers give no rows.
bool ParseDeviceListing(const QString &output, const QString &path, bool shortListing, int sortMode,
                        QList<ListItem> &rows);

struct DeviceListing {
    QString path; // the folder the rows belong to: the one asked for, or the parent that listed
    QList<ListItem> rows;
};

// Lists a phone folder; when its listing cannot be read, the nearest parent that lists cleanly.
DeviceListing ListDeviceFolder(TADB &adb, const QString &path, bool shortListing, int sortMode);

// Path tabs: "/" and one tab per complete component; text after the last "/" gets no tab.
QStringList FillPathTabs(const QString &path);

// Splits output at CR LF, LF or CR.
QStringList splitLines(const QString &text);
