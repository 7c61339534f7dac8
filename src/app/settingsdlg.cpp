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

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(QStringLiteral("Velbrook - Settings"));

    m_associateButton =
        named(new QPushButton(QStringLiteral("Open APK files with Velbrook"), this), "associateButton");
    m_associateFolders = named(new QCheckBox(QStringLiteral("Also for folders: \"Show Android Applications\""), this),
                               "associateFolders");
    m_associateFolders->setToolTip(
        QStringLiteral("Folders get a \"Show Android Applications\" entry that opens the installer for their APK "
                       "files.\nSome desktops then open every folder with Velbrook until you choose another "
                       "program for folders."));
    m_rememberWindow =
        named(new QCheckBox(QStringLiteral("Remember the window's size and position"), this), "rememberWindowBox");
    m_rememberFolders =
        named(new QCheckBox(QStringLiteral("Remember the last used directories in the panes"), this), "rememberFoldersBox");
    m_leftPhoneFolderEdit = named(new QLineEdit(this), "leftPhoneFolderEdit");
    m_rightPhoneFolderEdit = named(new QLineEdit(this), "rightPhoneFolderEdit");
    m_pcFolderEdit = named(new QLineEdit(this), "pcFolderEdit");
    m_showHiddenPcFilesBox =
        named(new QCheckBox(QStringLiteral("Show hidden and system files in the PC pane"), this), "ShowHiddenWinFiles");
    m_autoCloseLogBox =
        named(new QCheckBox(QStringLiteral("Close the log window when an operation finishes"), this), "LogAutoCloseBox");
    m_startCommandBox =
        named(new QCheckBox(QStringLiteral("Run a custom command when the program starts"), this), "StartCommandBox");
    m_startCommand = named(new QLineEdit(this), "edtStartCommand");
    m_okButton = named(new QPushButton(QStringLiteral("OK"), this), "okButton");
    m_cancelButton = named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_associateButton);
    layout->addWidget(m_associateFolders);
    layout->addWidget(m_rememberWindow);
    layout->addWidget(m_rememberFolders);
    // The key names and the labels cross over: "RightPhonePanelDir" is the left-hand pane.
    const auto addLabelled = [this, layout](const QString &caption, QLineEdit *edit) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
    };
    addLabelled(QStringLiteral("Left Phone Panel"), m_leftPhoneFolderEdit);
    addLabelled(QStringLiteral("Right Phone Panel"), m_rightPhoneFolderEdit);
    addLabelled(QStringLiteral("Computer Panel"), m_pcFolderEdit);
    layout->addWidget(m_showHiddenPcFilesBox);
    layout->addWidget(m_autoCloseLogBox);
    layout->addWidget(m_startCommandBox);
    layout->addWidget(m_startCommand);
    layout->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);

    m_okButton->setDefault(true);
    connect(m_associateButton, &QPushButton::clicked, this, &SettingsDialog::associateApkFiles);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_rememberFolders, &QCheckBox::toggled, this, &SettingsDialog::updateEnabled);
    connect(m_startCommandBox, &QCheckBox::toggled, this, &SettingsDialog::updateEnabled);
    updateEnabled();

    // Never smaller than the laid-out controls, whatever the font; never resized.
    setFixedSize(QSize(281, 381).expandedTo(sizeHint()));
    centreOnScreen(this);
}

void SettingsDialog::fill(const SettingsDialogValues &values)
{
    m_rememberWindow->setChecked(values.rememberWindow);
    m_rememberFolders->setChecked(values.rememberDirs);
    m_rightPhoneFolderEdit->setText(values.rightPhoneFolder);
    m_leftPhoneFolderEdit->setText(values.leftPhoneFolder);
    m_pcFolderEdit->setText(values.pcFolder);
    m_showHiddenPcFilesBox->setChecked(values.showHiddenPcFiles);
    m_autoCloseLogBox->setChecked(values.autoCloseLog);
    m_startCommandBox->setChecked(values.commandOnStart);
    m_startCommand->setText(values.startCommand);
    updateEnabled();
}

SettingsDialogValues SettingsDialog::values() const
{
    SettingsDialogValues values;
    values.rememberWindow = m_rememberWindow->isChecked();
    values.rememberDirs = m_rememberFolders->isChecked();
    values.rightPhoneFolder = m_rightPhoneFolderEdit->text();
    values.leftPhoneFolder = m_leftPhoneFolderEdit->text();
    values.pcFolder = m_pcFolderEdit->text();
    values.showHiddenPcFiles = m_showHiddenPcFilesBox->isChecked();
    values.autoCloseLog = m_autoCloseLogBox->isChecked();
    values.commandOnStart = m_startCommandBox->isChecked();
    values.startCommand = m_startCommand->text();
    return values;
}

void SettingsDialog::updateEnabled()
{
    // Remembered folders replace the default ones at start-up, so these are not used then.
    const bool defaultsUsed = !m_rememberFolders->isChecked();
    m_leftPhoneFolderEdit->setEnabled(defaultsUsed);
    m_rightPhoneFolderEdit->setEnabled(defaultsUsed);
    m_pcFolderEdit->setEnabled(defaultsUsed);
    m_startCommand->setEnabled(m_startCommandBox->isChecked());
}

void SettingsDialog::associateApkFiles()
{
    QString error;
    if (!desktop::associateWithShell(QCoreApplication::applicationFilePath(), m_associateFolders->isChecked(),
                                     &error)) {
        prompter().stop(this, QStringLiteral("Velbrook"), error);
        return;
    }
    prompter().information(this, QStringLiteral("Operation complete!"));
}

bool runSettingsDialog(QWidget *parent)
{
    SettingsDialog form(parent);
    form.fill(readSettingsDialogValues());
    if (prompter().exec(form) != QDialog::Accepted)
        return false;
    if (!applySettingsDialogValues(form.values()))
        prompter().stop(parent, QStringLiteral("Velbrook"),
                        QStringLiteral("Could not write the settings file ") + appState().settingsFile);
    return true;
}
