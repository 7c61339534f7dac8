#include "app/startup.h"

#include "app/adbdlg.h"
#include "device/diagnostics.h"
#include "app/loadingdlg.h"
#include "app/mainform.h"
#include "appsui/appoperations.h"
#include "apps/apkfile.h"
#include "appsui/apps2sdsettings.h"
#include "apps/appstorage.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "base/settingsstore.h"
#include "app/deviceform.h"
#include "files/devicepane.h"
#include "files/pcpane.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListView>

Startup::Startup(MainWindow &window, AdbClient &adb, StartOptions options)
    : m_window(window), m_adb(adb), m_options(std::move(options))
{
}

bool Startup::run()
{
    AppState &state = appState();
    state.diagnosticsMode = m_options.diagnostics;
    state.startPath = m_options.startPath;
    state.quitAfterStart = false;

    LoadingDialog loading;
    loading.setCancelAction([this] { m_window.cancelRunning(); });
    setUpProgramFolders(state, QCoreApplication::applicationDirPath());
    // The user may have pointed the program at the SDK's folder when adb was not found.
    platform::prependToSearchPath(readAdbDir(state.settingsFile));
    m_window.loadSettings();
    if (programSettings().commandOnStart && !programSettings().startCommand.trimmed().isEmpty()) {
        // The user's own command may not end: the window says that start-up runs and offers Cancel.
        if (state.startPath.isEmpty())
            loading.show();
        m_adb.runAdb(typedCommandLine(programSettings().startCommand));
    }
    m_window.createOperations();

    if (!state.startPath.isEmpty()) {
        runPathMode(loading);
        return false;
    }
    loading.show();
    return runNormal(loading);
}

void Startup::runPathMode(LoadingDialog &loading)
{
    loading.close();
    const QString &path = appState().startPath;
    // Nothing opens with Install enabled for a path that is no package.
    const StartPath start = checkStartPath(m_adb, path, appState().tempDir);
    switch (start.kind) {
    case StartPath::Folder:
        m_window.appOperations()->showInstallerFor({start.path}, this);
        break;
    case StartPath::Package:
        m_window.appOperations()->showPackageInfo(start.path, false, this);
        break;
    case StartPath::Problem:
        prompter().stop(&m_window, QStringLiteral("Velbrook"), start.problem);
        break;
    }
}

bool Startup::devicePresent()
{
    if (!m_bridgeReady) {
        m_adb.startServer();
        m_adb.dropUnlistedChoice();
    }
    if (!m_adb.devicePresent())
        return false;
    if (!m_bridgeReady)
        configureAppStorage();
    m_bridgeReady = true;
    return true;
}

InstallChoices Startup::installChoices() const
{
    return m_window.appOperations()->installChoices();
}

void Startup::configureAppStorage()
{
    configureAppsStorage(m_adb, appStorage(), [this] { return chooseStorageOption(); });
}

bool Startup::runNormal(LoadingDialog &loading)
{
    AppState &state = appState();
    m_adb.startServer();
    if (!m_adb.adbAvailable()) {
        AdbMissingDialog adbForm(&m_window);
        prompter().exec(adbForm);
        // Without adb there is nothing to look for: its Exit ends the program.
        return false;
    }
    m_adb.dropUnlistedChoice();
    if (!m_adb.devicePresent()) {
        DeviceDialog deviceForm(&m_window);
        if (prompter().exec(deviceForm) != QDialog::Accepted)
            return false;
    }
    if (!m_adb.devicePresent())
        return false;

    if (state.diagnosticsMode)
        writeDiagnostics();
    StepLog steps(state.diagnosticsMode, state.debugDir + QStringLiteral("/vbd2"));
    m_window.prepareFrame();

    steps.mark(QStringLiteral("1-1"));
    state.rootAccess = m_adb.hasRoot();
    state.busyboxPresent = m_adb.detectBusybox();
    m_adb.detectCp();
    state.readlinkPresent = m_adb.detectReadlink();
    state.shortListing = !m_adb.detectLsOptions();
    steps.mark(QStringLiteral("1-2"));
    steps.save();

    steps.mark(QStringLiteral("2-1"));
    configureAppStorage();
    steps.mark(QStringLiteral("2-2"));
    steps.save();

    steps.mark(QStringLiteral("3-1"));
    m_window.pcPane()->listPcFolder(m_window.pcPane()->addressText());
    steps.mark(QStringLiteral("3-2"));
    steps.save();
    m_window.updateStorageStatus();
    // A phone pane with no folder kept opens the user's storage, wherever this phone lists it.
    QString userStorage;
    for (DevicePane *pane : {m_window.devicePane(), m_window.devicePane2()}) {
        if (pane->addressText().trimmed().isEmpty()) {
            if (userStorage.isEmpty())
                userStorage = userStorageFolder(m_adb, state.shortListing);
            pane->setAddressText(userStorage);
        }
    }
    steps.mark(QStringLiteral("4-1"));
    m_window.devicePane()->fillDeviceList(m_window.devicePane()->addressText());
    steps.mark(QStringLiteral("4-2"));
    steps.save();
    steps.mark(QStringLiteral("5-1"));
    m_window.devicePane2()->fillDeviceList(m_window.devicePane2()->addressText());
    steps.mark(QStringLiteral("5-2"));
    steps.save();

    m_window.showPhoneAbilities();
    m_window.devicePane()->list()->setFocus();
    loading.close();

    steps.mark(QStringLiteral("6-1"));
    m_window.startWatching();
    steps.mark(QStringLiteral("6-2"));
    steps.save();
    return !state.quitAfterStart;
}

void Startup::writeDiagnostics()
{
    const AppState &state = appState();
    prompter().information(&m_window,
                           QStringList{QStringLiteral("The program started in diagnostics mode."), QString(),
                                       QStringLiteral("It writes log files to its debug directory."),
                                       QStringLiteral("You can send the log files to velbrook@users.noreply.example;"),
                                       QStringLiteral("they help us fix the problems you meet.")}
                               .join(u'\n'));
    QDir().mkpath(state.debugDir);
    const QString vbd1 = state.debugDir + QStringLiteral("/vbd1");
    QFile::remove(vbd1);
    saveLines(vbd1, buildDiagnostics(m_adb, appStorage(), [this] { return chooseStorageOption(); }));
}

int Startup::chooseStorageOption()
{
    Apps2SdDialog form(&m_window);
    form.setCancelVisible(false);
    return prompter().exec(form) == QDialog::Accepted ? form.selectedOption() : -1;
}
