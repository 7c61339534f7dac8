#pragma once

#include "apps/appinfo.h"
#include "apps/appstorage.h"
#include "lists/listitem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AppCatalogue;

class AppInfoReader;
class OperationLog;
class AdbClient;
class AppCatalogue;
class CancelToken;
class QThread;

// Which packages the list shows. Phones that list their application folders have protected
// (forward-locked) and unprotected ones; phones asked through the package manager have user and
// system packages, under the same values.
enum class AppsFilter { Protected = 0, Unprotected = 1, All = 2 };
enum class AppsSort { Date = 0, Size = 1, AppName = 2, FileName = 3 };

struct AppsLoad {
    QList<ListItem> rows;      // sorted, labels from the catalogue
    int missing = 0;           // rows the catalogue knows nothing of
    QList<InfoReadJob> toRead; // those rows, and rows whose record was read from another version
    QStringList notes;         // what the phone printed that was no row
    bool secure = false;       // rows of secure containers (/mnt/asec/<container>/pkg.apk)
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
    // The longest command the phone's shell takes.
    qsizetype commandLimit() const { return m_maxCommand > 0 ? m_maxCommand : 4000; }
    // The icon member one package named, learned while a listing of mostly unread packages was read.
    const QString &iconHint() const { return m_iconHint; }

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
    void loadPackages(AppsLoad &result, AppsFilter filter, bool shortListing, const AppCatalogue &catalogue);
    QString runPackageList(AppsFilter filter);
    // The catalogue's label, and on phones that list folders the version read from the APK.
    void addCatalogue(AppsLoad &result, const AppCatalogue &catalogue);

    AdbClient &m_adb;
    const AppStorage &m_storage;
    QString m_dataDir;
    QHash<QString, Package> m_packages; // by row name, from the last package-manager listing
    int m_cmdWorks = -1;                // -1 not tried, 0 `pm` only, 1 `cmd package`
    qsizetype m_maxCommand = 0;
    int m_streams = -1;
    QString m_iconHint;
    bool m_lastSecure = false;
};

// Reads labels and icons into the catalogue, with a log: for the rows without information, or for every
// row (the catalogue rebuilt).
class AppsInfoUpdater {
public:
    AppsInfoUpdater(AppsLoader &loader, AppInfoReader &reader);

    // Rows whose label is their name (no label read yet).
    void updateMissingInfo(const QList<ListItem> &rows, bool secure, OperationLog &log);
    void reloadAllInfo(const QList<ListItem> &rows, bool secure, OperationLog &log);

    qint64 bytesFromPhone() const { return m_bytes; }

private:
    // Reads `rows` into `catalogue`, each logged under its title as it comes in.
    void readRows(const QList<ListItem> &rows, const QStringList &titles, AppCatalogue &catalogue, OperationLog &log);

    AppsLoader &m_loader;
    AppInfoReader &m_reader;
    qint64 m_bytes = 0;
};

// Reads labels and icons into the catalogue on a thread of its own, with an adb client of its own, while
// the list stays usable; the list fills in package by package. A new start or stop() cancels the run
// before it: signals of a cancelled run are never delivered.
class BackgroundInfoReader final : public QObject {
    Q_OBJECT
public:
    BackgroundInfoReader(const AdbClient &adb, QString dataDir, QString tempDir, QObject *parent = nullptr);
    ~BackgroundInfoReader() override;

    void start(QList<InfoReadJob> jobs, bool streaming, qsizetype commandLimit, const QString &iconHint = {});
    // Cancels the command running and waits for the thread.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    // The catalogue holds the package's record and icon now.
    void packageRead(const QString &key, const QString &label, const QString &versionCode);
    void progress(int done, int total);
    void finished();

private:
    const AdbClient &m_adb;
    QString m_dataDir;
    QString m_tempDir;
    QThread *m_thread = nullptr;
    std::shared_ptr<CancelToken> m_cancel;
    int m_run = 0;
    bool m_running = false;
};

// Records what was read of one package in `catalogue` (not saved); its label, or the key when it has none, so that
// it is not read again until its version changes.
QString recordPackageInfo(const InfoReadJob &job, const AppInfo &info, AppCatalogue &catalogue);
