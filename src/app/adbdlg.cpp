#include "app/adbdlg.h"

#include "platform/platform.h"
#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/prompter.h"
#include "base/settingsstore.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSdkHost = QStringLiteral("https://developer.android.com");

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

AdbMissingDialog::AdbMissingDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ADBForm"));
    setWindowTitle(QStringLiteral("Velbrook - problem with ADB"));

    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(QStringLiteral("Your ADB doesn't work!"), this);
    QFont big = heading->font();
    big.setPointSize(14);
    big.setBold(true);
    heading->setFont(big);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(QStringLiteral("There may be two reasons for this:"), this));

    const platform::AdbHelpTexts help = platform::adbHelpTexts();
    auto *sdk = new QGroupBox(QStringLiteral(" The Android SDK is not installed "), this);
    auto *sdkLayout = new QVBoxLayout(sdk);
    auto *sdkText =
        new QLabel((QStringList{QStringLiteral(
                        "adb is part of the Android SDK. Install the SDK before you run the program.")} +
                    help.installLines)
                       .join(u'\n'),
                   sdk);
    sdkText->setWordWrap(true);
    sdkLayout->addWidget(sdkText);
    QPushButton *download = makeButton(sdk, "Download", QStringLiteral("Download the Android SDK"));
    QPushButton *howTo = makeButton(sdk, "HowTo", QStringLiteral("How to install the Android SDK"));
    sdkLayout->addWidget(download);
    sdkLayout->addWidget(howTo);
    layout->addWidget(sdk);

    auto *path = new QGroupBox(help.pathTitle, this);
    auto *pathLayout = new QVBoxLayout(path);
    pathLayout->addWidget(new QLabel(help.pathLines.join(u'\n'), path));
    QPushButton *setPath = makeButton(path, "SetPath", help.setPathCaption);
    pathLayout->addWidget(setPath);
    layout->addWidget(path);

    QPushButton *exitButton = makeButton(this, "btnExit", QStringLiteral("Exit"));
    layout->addWidget(exitButton, 0, Qt::AlignRight);

    connect(download, &QPushButton::clicked, this,
            [] { prompter().openExternal(QUrl(kSdkHost + QStringLiteral("/sdk/index.html"))); });
    connect(howTo, &QPushButton::clicked, this,
            [] { prompter().openExternal(QUrl(kSdkHost + QStringLiteral("/sdk/installing.html"))); });
    connect(setPath, &QPushButton::clicked, this, &AdbMissingDialog::choosePath);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    resize(424, 406);
    centreOnScreen(this);
}

void AdbMissingDialog::choosePath()
{
    const QString folder = prompter().chooseDirectory(this, QStringLiteral("Select directory"), QString());
    if (folder.isEmpty())
        return;
    const QString adbFile = platform::adbFileName();
    if (!QFileInfo(folder + u'/' + adbFile).isFile()) {
        prompter().information(this, QStringLiteral("The program could not find the ") + adbFile +
                                         QStringLiteral(" file in the selected directory."));
        return;
    }
    if (platform::hasSystemSearchPath()) {
        QString error;
        if (!platform::addToSystemSearchPath(folder, &error)) {
            prompter().stop(this, QStringLiteral("Velbrook"), error);
            return;
        }
    } else {
        // No machine-wide path to change here: the program keeps the folder and puts it in front
        // of its own search path at every start.
        if (!writeAdbDir(appState().settingsFile, folder)) {
            prompter().stop(this, QStringLiteral("Velbrook"),
                            QStringLiteral("Could not write the settings file ") + appState().settingsFile);
            return;
        }
        platform::prependToSearchPath(folder);
    }
    prompter().information(this, platform::adbHelpTexts().pathSetMessage);
}
