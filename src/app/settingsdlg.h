#pragma once

#include "base/settings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// "Program" / "Settings": the remembered window and folders, the default folders, the log and
// start-up options, and the association with the desktop shell.
class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    void fill(const SettingsDialogValues &values);
    SettingsDialogValues values() const;

private:
    void associateApkFiles();
    void updateEnabled();

    QPushButton *m_associateButton = nullptr;
    QCheckBox *m_associateFolders = nullptr;
    QCheckBox *m_rememberWindow = nullptr;
    QCheckBox *m_rememberFolders = nullptr;
    QLineEdit *m_leftPhoneFolderEdit = nullptr;
    QLineEdit *m_rightPhoneFolderEdit = nullptr;
    QLineEdit *m_pcFolderEdit = nullptr;
    QCheckBox *m_showHiddenPcFilesBox = nullptr;
    QCheckBox *m_autoCloseLogBox = nullptr;
    QCheckBox *m_startCommandBox = nullptr;
    QLineEdit *m_startCommand = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

// The menu item: fills the dialog from settings.ini and the program state and shows it; "OK"
// writes the file and updates programSettings(), "Cancel" changes nothing. True after "OK".
bool runSettingsDialog(QWidget *parent);
