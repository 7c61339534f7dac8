#include "app/settingsdlg.h"
#include "device/shellassociation.h"

#include "platform/platform.h"
#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/prompter.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TSettingsForm::TSettingsForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(QStringLiteral("Velbrook - Settings"));

    Button3 = named(new QPushButton(QStringLiteral("Associate apk files with program"), this), "Button3");
    associateFolders = named(new QCheckBox(QStringLiteral("Also for folders: \"Show Android Applications\""), this),
                             "associateFolders");
    associateFolders->setToolTip(
        QStringLiteral("Folders get a \"Show Android Applications\" entry that opens the installer for their APK "
                       "files.\nSome desktops then open every folder with Velbrook until you choose another "
                       "program for folders."));
    rmPos = named(new QCheckBox(QStringLiteral("Remember program window size and position"), this), "rmPos");
    rmDirs = named(new QCheckBox(QStringLiteral("Remember last used directiories in panels"), this), "rmDirs");
    RightDir = named(new QLineEdit(this), "RightDir");
    LeftDir = named(new QLineEdit(this), "LeftDir");
    KompDir = named(new QLineEdit(this), "KompDir");
    ShowHiddenWinFiles =
        named(new QCheckBox(QStringLiteral("Show hidden and system files in Windows tab"), this), "ShowHiddenWinFiles");
    LogAutoCloseBox =
        named(new QCheckBox(QStringLiteral("Close log window after operation finish"), this), "LogAutoCloseBox");
    StartCommandBox =
        named(new QCheckBox(QStringLiteral("Run custom command on program start"), this), "StartCommandBox");
    edtStartCommand = named(new QLineEdit(this), "edtStartCommand");
    Button2 = named(new QPushButton(QStringLiteral("OK"), this), "Button2");
    Button1 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button1");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Button3);
    layout->addWidget(associateFolders);
    layout->addWidget(rmPos);
    layout->addWidget(rmDirs);
    // The key names and the labels cross over: "RightPhonePanelDir" is the left-hand pane.
    const auto addLabelled = [this, layout](const QString &caption, QLineEdit *edit) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
    };
    addLabelled(QStringLiteral("Left Phone Panel"), RightDir);
    addLabelled(QStringLiteral("Right Phone Panel"), LeftDir);
    addLabelled(QStringLiteral("Computer Panel"), KompDir);
    layout->addWidget(ShowHiddenWinFiles);
    layout->addWidget(LogAutoCloseBox);
    layout->addWidget(StartCommandBox);
    layout->addWidget(edtStartCommand);
    layout->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);

    Button2->setDefault(true);
    connect(Button3, &QPushButton::clicked, this, &TSettingsForm::Button3Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(rmDirs, &QCheckBox::toggled, this, &TSettingsForm::updateEnabled);
    connect(StartCommandBox, &QCheckBox::toggled, this, &TSettingsForm::updateEnabled);
    updateEnabled();

    // Never smaller than the laid-out controls, whatever the font; never resized.
    setFixedSize(QSize(281, 381).expandedTo(sizeHint()));
    centreOnScreen(this);
}

void TSettingsForm::fill(const SettingsDialogValues &values)
{
    rmPos->setChecked(values.RememberWindow);
    rmDirs->setChecked(values.RememberDirs);
    LeftDir->setText(values.LeftDir);
    RightDir->setText(values.RightDir);
    KompDir->setText(values.KompDir);
    ShowHiddenWinFiles->setChecked(values.ShowHiddenWinFiles);
    LogAutoCloseBox->setChecked(values.AutoCloseLog);
    StartCommandBox->setChecked(values.CommandOnStart);
    edtStartCommand->setText(values.StartCommand);
    updateEnabled();
}

SettingsDialogValues TSettingsForm::values() const
{
    SettingsDialogValues values;
    values.RememberWindow = rmPos->isChecked();
    values.RememberDirs = rmDirs->isChecked();
    values.LeftDir = LeftDir->text();
    values.RightDir = RightDir->text();
    values.KompDir = KompDir->text();
    values.ShowHiddenWinFiles = ShowHiddenWinFiles->isChecked();
    values.AutoCloseLog = LogAutoCloseBox->isChecked();
    values.CommandOnStart = StartCommandBox->isChecked();
    values.StartCommand = edtStartCommand->text();
    return values;
}

void TSettingsForm::updateEnabled()
{
    // Remembered folders replace the default ones at start-up, so these are not used then.
    const bool defaultsUsed = !rmDirs->isChecked();
    RightDir->setEnabled(defaultsUsed);
    LeftDir->setEnabled(defaultsUsed);
    KompDir->setEnabled(defaultsUsed);
    edtStartCommand->setEnabled(StartCommandBox->isChecked());
}

void TSettingsForm::Button3Click()
{
    QString error;
    if (!desktop::associateWithShell(QCoreApplication::applicationFilePath(), associateFolders->isChecked(), &error)) {
        prompter().stop(this, QStringLiteral("Velbrook"), error);
        return;
    }
    prompter().information(this, QStringLiteral("Operation complete!"));
}

bool runSettingsDialog(QWidget *parent)
{
    TSettingsForm form(parent);
    form.fill(readSettingsDialogValues());
    if (prompter().exec(form) != QDialog::Accepted)
        return false;
    if (!applySettingsDialogValues(form.values()))
        prompter().stop(parent, QStringLiteral("Velbrook"),
                        QStringLiteral("Could not write the settings file ") + appState().SettingsFile);
    return true;
}
