#include "base/appstate.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppState &appState()
{
    static AppState state;
    return state;
}

StartOptions parseStartArguments(const QStringList &arguments)
{
    StartOptions options;
    if (arguments.isEmpty())
        return options;
    const QString first = arguments.at(0);
    if (first == QStringLiteral("-wtf") || first == QStringLiteral("-debug")) {
        options.diagnostics = true;
        return options;
    }
    options.startPath = first;
    if (arguments.size() > 1 && arguments.at(1) == QStringLiteral("-d") && !first.endsWith(QDir::separator()) &&
        !first.endsWith(u'/'))
        options.startPath += QDir::separator();
    return options;
}

namespace {

bool isPortable(const QString &programDir)
{
    const QFileInfo dir(programDir);
    if (programDir.isEmpty() || !dir.isWritable())
        return false;
    return QFileInfo::exists(programDir + QStringLiteral("/settings.ini")) ||
           QFileInfo::exists(programDir + QStringLiteral("/portable"));
}

} // namespace

void setUpProgramFolders(AppState &state, const QString &programDir)
{
    state.programDir = programDir;
    const QString home = qEnvironmentVariable("VELBROOK_HOME");
    if (!home.isEmpty()) {
        state.dataDir = home;
        state.settingsFile = home + QStringLiteral("/settings.ini");
        state.tempDir = home + QStringLiteral("/temp");
    } else if (isPortable(programDir)) {
        state.dataDir = programDir;
        state.settingsFile = programDir + QStringLiteral("/settings.ini");
        state.tempDir = programDir + QStringLiteral("/temp");
    } else {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        state.dataDir = data + QStringLiteral("/velbrook");
        state.settingsFile = config + QStringLiteral("/velbrook/settings.ini");
        state.tempDir = cache + QStringLiteral("/velbrook/temp");
    }
    state.iconsDir = state.dataDir + QStringLiteral("/icons");
    state.debugDir = state.dataDir + QStringLiteral("/debug");
    // Failures are not reported here: a write into a missing folder fails where it happens.
    QDir().mkpath(state.tempDir);
    QDir().mkpath(state.iconsDir);
}

QString changelogFile(const AppState &state)
{
    const QString beside = state.programDir + QStringLiteral("/changelog.txt");
    const QString installed =
        QDir::cleanPath(state.programDir + QStringLiteral("/" VELBROOK_DOC_FROM_BIN "/changelog.txt"));
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString temporaryFolder()
{
    const QString folder = appState().tempDir;
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return QDir::tempPath();
    return folder;
}
