// Registering the program with the desktop shell for APK files and, on request, folders.
#include "device/shellassociation.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QSettings>
#else
#include "bridge/commandrunner.h"
#include "base/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#endif

namespace desktop {

#ifdef Q_OS_WIN

bool associateWithShell(const QString &executable, bool folders, QString *error)
{
    // The per-user classes need no administrator rights and override the machine-wide ones.
    QSettings classes(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes"), QSettings::NativeFormat);
    const QString exe = QDir::toNativeSeparators(executable);
    const QString type = QStringLiteral("APKfile");
    const QString quotedExe = u'"' + exe + u'"';
    classes.setValue(QStringLiteral(".apk/Default"), type);
    // Bundles (a base APK with its splits) open the same way.
    classes.setValue(QStringLiteral(".apks/Default"), type);
    classes.setValue(type + QStringLiteral("/Default"), QStringLiteral("Android Application"));
    classes.setValue(type + QStringLiteral("/DefaultIcon/Default"), exe + QStringLiteral(",0"));
    classes.setValue(type + QStringLiteral("/shell/open/Default"), QStringLiteral("&Open"));
    // Quoted, so that a program folder with blanks in its name starts the right file.
    classes.setValue(type + QStringLiteral("/shell/open/command/Default"), quotedExe + QStringLiteral(" \"%1\""));
    const QString folderCommand = QStringLiteral("Directory/shell/Show Android Applications");
    if (folders)
        classes.setValue(folderCommand + QStringLiteral("/command/Default"), quotedExe + QStringLiteral(" \"%1\" -d"));
    else
        classes.remove(folderCommand);
    classes.sync();
    if (classes.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("Access to the registry was denied.");
        return false;
    }
    return true;
}

#else

namespace {

const QString kApkType = QStringLiteral("application/vnd.android.package-archive");
// A ZIP of a base APK and its split APKs; no registered type exists, so the program names its own.
const QString kBundleType = QStringLiteral("application/x-android-apks");
// Also the id of the entry that an installed copy brings along (data/velbrook.desktop).
const QString kApkEntry = QStringLiteral("velbrook.desktop");
const QString kFolderEntry = QStringLiteral("velbrook-folder.desktop");

// One Exec argument: double-quoted with \ " ` $ escaped and % doubled (the Exec rules), then
// escaped once more as a key-file string, whose reader takes one level of backslashes off.
QString execArgument(const QString &argument)
{
    QString quoted(u'"');
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    quoted += u'"';
    QString escaped;
    for (const QChar c : quoted) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else
            escaped += c;
    }
    return escaped;
}

bool writeFile(const QString &fileName, const QString &text, QString *error)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = QStringLiteral("Could not write the file ") + fileName + QStringLiteral(": ") + file.errorString();
    return false;
}

// The installed entry when the program is an installed copy: a data folder D of the desktop holds
// applications/velbrook.desktop and the program is D/../bin/velbrook, as "cmake --install" lays it out.
QString installedEntry(const QString &executable)
{
    const QFileInfo program(executable);
    const QString canonical = program.canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString entry = dir + QStringLiteral("/applications/") + kApkEntry;
        const QFileInfo installed(dir + QStringLiteral("/../bin/") + program.fileName());
        if (QFileInfo::exists(entry) && installed.canonicalFilePath() == canonical)
            return entry;
    }
    return {};
}

// The desktop's caches are refreshed when their tools are installed; without them the desktop
// reads the files directly or at its next rebuild.
void runIfPresent(const QString &program, const QString &folder)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return;
    defaultCommandRunner()->run(CommandLine{path, {folder}, program + QStringLiteral(" \"") + folder + u'"'}, false);
}

} // namespace

bool associateWithShell(const QString &executable, bool folders, QString *error)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString applications = data + QStringLiteral("/applications");
    const QString exec = execArgument(executable);

    const QString apkEntry = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Velbrook\n"
                                            "GenericName=Android Application\n"
                                            "Comment=Manage an Android phone\n"
                                            "Exec=") +
                             exec +
                             QStringLiteral(" %f\n"
                                            "MimeType=") +
                             kApkType + u';' + kBundleType + QStringLiteral(";\nTerminal=false\nCategories=Utility;\n");
    const QString folderEntry = QStringLiteral("[Desktop Entry]\n"
                                               "Type=Application\n"
                                               "Name=Show Android Applications\n"
                                               "Exec=") +
                                exec +
                                QStringLiteral(" %f -d\n"
                                               "MimeType=inode/directory;\n"
                                               "Terminal=false\n"
                                               "NoDisplay=true\n");
    // Names the file type, and makes it known where the system's MIME database lacks it.
    const QString mimePackage =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\"") +
        kApkType +
        QStringLiteral("\">\n"
                       "    <comment>Android Application</comment>\n"
                       "    <sub-class-of type=\"application/zip\"/>\n"
                       "    <glob pattern=\"*.apk\"/>\n"
                       "  </mime-type>\n"
                       "  <mime-type type=\"") +
        kBundleType +
        QStringLiteral("\">\n"
                       "    <comment>Android Application Bundle</comment>\n"
                       "    <sub-class-of type=\"application/zip\"/>\n"
                       "    <glob pattern=\"*.apks\"/>\n"
                       "  </mime-type>\n"
                       "</mime-info>\n");

    // An installed copy is opened through its own entry; one left by an earlier association from a
    // build folder would hide it, as the user's folder comes first.
    const QString userEntry = applications + u'/' + kApkEntry;
    const QString installed = installedEntry(executable);
    if (installed.isEmpty()) {
        if (!writeFile(userEntry, apkEntry, error))
            return false;
    } else if (QFileInfo::exists(userEntry) &&
               QFileInfo(userEntry).canonicalFilePath() != QFileInfo(installed).canonicalFilePath() &&
               !QFile::remove(userEntry)) {
        if (error)
            *error = QStringLiteral("Could not remove the file ") + userEntry;
        return false;
    }
    // Listed for inode/directory, the entry can become the folders' program where the user chose none:
    // only on request.
    const QString folderFile = applications + u'/' + kFolderEntry;
    if (folders) {
        if (!writeFile(folderFile, folderEntry, error))
            return false;
    } else if (QFileInfo::exists(folderFile) && !QFile::remove(folderFile)) {
        if (error)
            *error = QStringLiteral("Could not remove the file ") + folderFile;
        return false;
    }
    if (!writeFile(data + QStringLiteral("/mime/packages/velbrook.xml"), mimePackage, error))
        return false;

    IniFile mimeApps(config + QStringLiteral("/mimeapps.list"));
    mimeApps.setText(QStringLiteral("Default Applications"), kApkType, kApkEntry + u';');
    mimeApps.setText(QStringLiteral("Default Applications"), kBundleType, kApkEntry + u';');
    if (!mimeApps.save()) {
        if (error)
            *error = QStringLiteral("Could not write the file ") + mimeApps.fileName();
        return false;
    }

    runIfPresent(QStringLiteral("update-mime-database"), data + QStringLiteral("/mime"));
    runIfPresent(QStringLiteral("update-desktop-database"), applications);
    return true;
}

#endif

} // namespace desktop
