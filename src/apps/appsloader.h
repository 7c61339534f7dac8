#pragma once

#include "apps/appstorage.h"
#include "lists/listitem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class AppInfoReader;
class OperationLog;
class AdbClient;
class AppCatalogue;

// Which packages the list shows. Phones that list their application folders have protected
// (forward-locked) and unprotected ones; phones asked through the package manager have user and
// system packages, under the same values.
enum class AppsFilter { Protected = 0, Unprotected = 1, All = 2 };
enum class AppsSort { Date = 0, Size = 1, AppName = 2, FileName = 3 };

struct AppsLoad {
    QList<ListItem> rows;  // sorted, labels from the catalogue
    int missing = 0;       // rows the catalogue knows nothing of
    QList<ListItem> stale; // rows whose record was read from another version of the package
    QStringList notes;     // what the phone printed that was no row
    bool secure = false;   // rows of secure containers (/mnt/asec/<container>/pkg.apk)
};

// Fills the applications list: the listing of the phone plus a lookup in the catalogue.
class AppsLoader {
public:
    AppsLoader(AdbClient &adb, const AppStorage &storage, QString dataDir);

    AppsAccess access() const { return m_storage.access; }

    // `secureTab`: the "Memory Card" tab of a phone with secure containers.
    AppsLoad load(AppsFilter filter, AppsSort sort, bool shortListing, bool secureTab);
    bool showsSecure(bool secureTab) const;

    // Where a row's APK lies on the phone (the base APK for a package in parts).
    QString devicePath(const ListItem &row) const;
    // Every part of a row's package: `pm path` on package-manager phones, else the one APK.
    QStringList deviceParts(const ListItem &row);
    QString packageName(const ListItem &row) const;
    // The package came with the system image (the package manager refuses to remove it for good).
    bool isSystemPackage(const ListItem &row) const;
    QString versionCode(const ListItem &row) const;

    // The list command of the package manager in use, for the benchmark's bare comparison.
    QString packageListCommand(AppsFilter filter) const;
    // Whether the phone's unzip streams APK members (probed once, on package-manager phones).
    bool phoneStreams();

    const AppStorage &storage() const { return m_storage; }
    AdbClient &adb() { return m_adb; }
    const QString &dataDir() const { return m_dataDir; }

private:
    struct Package {
        QString apkPath;
        QString versionCode;
        bool system = false;
    };

    void loadFolders(AppsLoad &result, AppsFilter filter, bool shortListing);
    // A folder the shell may not open: its APK files as the package manager names them, listed one by one.
    QList<ListItem> listNamedFiles(const QString &dir, const QString &options, bool shortListing, bool protectedRows,
                                   std::optional<QString> &packages);
    void loadSecure(AppsLoad &result, bool shortListing);
    void loadPackages(AppsLoad &result, AppsFilter filter, bool shortListing);
    QString runPackageList(AppsFilter filter);

    AdbClient &m_adb;
    const AppStorage &m_storage;
    QString m_dataDir;
    QHash<QString, Package> m_packages; // by row name, from the last package-manager listing
    int m_cmdWorks = -1;                // -1 not tried, 0 `pm` only, 1 `cmd package`
    qsizetype m_maxCommand = 0;
    int m_streams = -1;
    bool m_lastSecure = false;
};

// Reads labels and icons into the catalogue: for the rows without information, for every row
// (the catalogue rebuilt), or quietly for rows whose package was updated.
class AppsInfoUpdater {
public:
    AppsInfoUpdater(AppsLoader &loader, AppInfoReader &reader);

    // Rows whose label is their name (no label read yet).
    void updateMissingInfo(const QList<ListItem> &rows, bool secure, OperationLog &log);
    void reloadAllInfo(const QList<ListItem> &rows, bool secure, OperationLog &log);
    // No log: reads the rows again and replaces their records; the count read.
    int refresh(const QList<ListItem> &rows);

    qint64 bytesFromPhone() const { return m_bytes; }

private:
    // Reads one row into the catalogue's record list; true when a label or package was read.
    bool readRow(const ListItem &row, AppCatalogue &catalogue, QString *error);
    // The row's lines in the log: its title, then "Complete" or "Failed" and a blank line.
    void logRow(const QString &title, const ListItem &row, AppCatalogue &catalogue, OperationLog &log);

    AppsLoader &m_loader;
    AppInfoReader &m_reader;
    qint64 m_bytes = 0;
};
