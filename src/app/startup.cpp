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

Startup::Startup(TMainForm &window, TADB &adb, StartOptions options)
    : m_window(window), m_adb(adb), m_options(std::move(options))
{
}

bool Startup::run()
{
    AppState &state = appState();
    state.DiagnosticsMode = m_options.diagnostics;
    state.StartPath = m_options.startPath;
    state.QuitAfterStart = false;

    TLoadingForm loading;
    loading.setCancelAction([this] { m_window.cancelRunning(); });
    setUpProgramFolders(state, QCoreApplication::applicationDirPath());
    // The user may have pointed the program at the SDK's folder when adb was not found.
    platform::prependToSearchPath(readAdbDir(state.SettingsFile));
    m_window.LoadSettings();
    if (programSettings().CommandOnStart && !programSettings().StartCommand.trimmed().isEmpty()) {
        // The user's own command may not end: the window says that start-up runs and offers Cancel.
        if (state.StartPath.isEmpty())
            loading.show();
        m_adb.Run(typedCommandLine(programSettings().StartCommand));
    }
    m_window.createOperations();

    if (!state.StartPath.isEmpty()) {
        runPathMode(loading);
        return false;
    }
    loading.show();
    return runNormal(loading);
}

void Startup::runPathMode(TLoadingForm &loading)
{
    loading.close();
    const QString &path = appState().StartPath;
    // Nothing opens with Install enabled for a path that is no package.
    const StartPath start = CheckStartPath(m_adb, path, appState().TempDir);
    switch (start.kind) {
    case StartPath::Folder:
        m_window.appOperations()->ShowInstallerFor(start.path, this);
        break;
    case StartPath::Package:
        m_window.appOperations()->ShowPackageInfo(start.path, false, this);
        break;
    case StartPath::Problem:
        prompter().stop(&m_window, QStringLiteral("Velbrook"), start.problem);
        break;
    }
}

bool Startup::devicePresent()
{
    if (!m_bridgeReady) {
        m_adb.StartServer();
        m_adb.DropUnlistedChoice();
    }
    if (!m_adb.DevicePresent())
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
    // Phones that only their package manager can tell about have no apps-to-SD modes to ask for.
    appStorage().Access = DetectAppsAccess(m_adb);
    if (appStorage().Access == AppsAccess::Folders)
        ConfigureAppStorage(m_adb, appStorage(), [this] { return chooseStorageOption(); });
    else
        setAppStorageMode(appStorage(), AppStorageType::Internal);
}

bool Startup::runNormal(TLoadingForm &loading)
{
    AppState &state = appState();
    m_adb.StartServer();
    if (!m_adb.AdbAvailable()) {
        TADBForm adbForm(&m_window);
        prompter().exec(adbForm);
        // Without adb there is nothing to look for: its Exit ends the program.
        return false;
    }
    m_adb.DropUnlistedChoice();
    if (!m_adb.DevicePresent()) {
        TDeviceForm deviceForm(&m_window);
        if (prompter().exec(deviceForm) != QDialog::Accepted)
            return false;
    }
    if (!m_adb.DevicePresent())
        return false;

    if (state.DiagnosticsMode)
        writeDiagnostics();
    StepLog steps(state.DiagnosticsMode, state.DebugDir + QStringLiteral("/vbd2"));
    m_window.prepareFrame();

    steps.mark(QStringLiteral("1-1"));
    state.RootAccess = m_adb.HasRoot();
    state.BusyboxPresent = m_adb.DetectBusybox();
    m_adb.DetectCp();
    state.ReadlinkPresent = m_adb.DetectReadlink();
    state.ShortListing = !m_adb.DetectLsOptions();
    steps.mark(QStringLiteral("1-2"));
    steps.save();

    steps.mark(QStringLiteral("2-1"));
    configureAppStorage();
    steps.mark(QStringLiteral("2-2"));
    steps.save();

    steps.mark(QStringLiteral("3-1"));
    m_window.pcPane()->ListPcFolder(m_window.pcPane()->addressText());
    steps.mark(QStringLiteral("3-2"));
    steps.save();
    m_window.UpdateStorageStatus();
    steps.mark(QStringLiteral("4-1"));
    m_window.devicePane()->FillDeviceList(m_window.devicePane()->addressText());
    steps.mark(QStringLiteral("4-2"));
    steps.save();
    steps.mark(QStringLiteral("5-1"));
    m_window.devicePane2()->FillDeviceList(m_window.devicePane2()->addressText());
    steps.mark(QStringLiteral("5-2"));
    steps.save();

    m_window.showPhoneAbilities();
    m_window.devicePane()->list()->setFocus();
    loading.close();

    steps.mark(QStringLiteral("6-1"));
    m_window.startWatching();
    steps.mark(QStringLiteral("6-2"));
    steps.save();
    return !state.QuitAfterStart;
}

void Startup::writeDiagnostics()
{
    const AppState &state = appState();
    prompter().information(&m_window,
                           QStringList{QStringLiteral("Program started in Debuging Mode!"), QString(),
                                       QStringLiteral("Program will make log files in debug program directory."),
                                       QStringLiteral("You can send log files to velbrook@users.noreply.example"),
                                       QStringLiteral("This will help me fix your problems with my program ;)")}
                               .join(u'\n'));
    QDir().mkpath(state.DebugDir);
    const QString vbd1 = state.DebugDir + QStringLiteral("/vbd1");
    QFile::remove(vbd1);
    saveLines(vbd1, buildDiagnostics(m_adb, appStorage(), [this] { return chooseStorageOption(); }));
}

int Startup::chooseStorageOption()
{
    TApps2SdForm form(&m_window);
    form.setCancelVisible(false);
    return prompter().exec(form) == QDialog::Accepted ? form.selectedOption() : -1;
}
