#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One line of list.a: what was read once from an application's APK.
struct CatalogueRecord {
    QString key;         // the APK file name, or the package name followed by ".apk"
    QString label;       // may be empty
    QString versionCode; // empty in records of the older format
};

// The key of a package listed by the package manager (or read from a PC APK), so that
// the catalogue, its icons and the rows all name it the same way.
QString catalogueKeyForPackage(const QString &package);
// A key names one line of list.a and one file in the icons folder: no separators, no "..",
// no ";" and no line breaks.
bool isValidCatalogueKey(const QString &key);
// A record read for another version than the one installed must be read again; a record of
// the older format carries no version and counts as stale once a version is known.
bool isStale(const CatalogueRecord &record, const QString &installedVersionCode);

// list.a and the icons folder. Lines are "key;label" (the older format, still read) or
// "key/versionCode;label"; the label runs to the line's end and may hold ";".
class AppCatalogue {
public:
    AppCatalogue(const QString &listFile, const QString &iconsDir);
    // list.a and icons/ of the program's data folder.
    static AppCatalogue forDataDir(const QString &dataDir);

    // A missing file is an empty catalogue; a file that cannot be read is an error, and the
    // catalogue then refuses to save so that the file is never replaced by less.
    bool load();
    const CatalogueRecord *find(const QString &key) const;
    // Adds the record, or replaces the one with its key in place. False for an invalid key.
    bool put(CatalogueRecord record);
    // Writes the whole file in one step: either the old or the new file is on disk.
    bool save();
    // Loads the file as it is now, puts the record and saves, so that records another writer
    // added meanwhile are kept.
    bool store(const CatalogueRecord &record);

    // Where the icon of `key` is cached; empty for a key that could leave the icons folder.
    QString iconPath(const QString &key) const;

    const QList<CatalogueRecord> &records() const { return m_records; }
    // Lines that were not records; they are written back as they were.
    const QStringList &unreadableLines() const { return m_unreadable; }
    QString errorString() const { return m_error; }

private:
    QString m_listFile;
    QString m_iconsDir;
    QList<CatalogueRecord> m_records;
    QStringList m_unreadable;
    QString m_error;
    bool m_loadFailed = false;
};
