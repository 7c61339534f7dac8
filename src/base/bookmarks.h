#pragma once

#include <QString>
#include <QStringList>

inline constexpr auto kBookmarkAddedMessage = "Directory saved in bookmarks list.";
inline constexpr auto kBookmarkRemovedMessage = "Directory removed from bookmarks list.";

// One bookmark per line, each line ended by CR LF; lines are read ending in CR LF, LF or CR.
// Text in the local 8-bit encoding. A missing or unreadable file gives an empty list.
QStringList readBookmarkFile(const QString &fileName);
// Replaces the file in one step; false when it could not be written.
bool writeBookmarkFile(const QString &fileName, const QStringList &items);

// The drop-down lists of the three address boxes: the PC box has its own list, the two device
// boxes share one. Every change rewrites that list's whole file at once.
class BookmarkLists {
public:
    enum Box { Pc, Device1, Device2 }; // pcAddress, addressBox, addressBox2

    // The files are "bookmarks1.txt" (PC) and "bookmarks2.txt" (device) in dataDir.
    explicit BookmarkLists(const QString &dataDir);

    void load();

    // Appends the box's text as it stands, except that line breaks become blanks (one line per
    // bookmark in the file); duplicates are kept. False when the file could not be written (the
    // item stays in the list for this run).
    bool add(Box box, const QString &text);
    // Removes the first item equal to the text ignoring case; the file is rewritten even when
    // nothing matched. False when the file could not be written.
    bool remove(Box box, const QString &text);

    QStringList items(Box box) const { return box == Pc ? m_pc : m_device; }
    const QStringList &pcItems() const { return m_pc; }
    const QStringList &deviceItems() const { return m_device; }
    QString fileName(Box box) const;

private:
    QStringList &list(Box box) { return box == Pc ? m_pc : m_device; }

    QString m_dataDir;
    QStringList m_pc;
    QStringList m_device;
};
