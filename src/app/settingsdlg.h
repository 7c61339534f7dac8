#pragma once

#include "base/settings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// "Program" / "Settings": the remembered window and folders, the default folders, the log and
// start-up options, and the association with the desktop shell.
class TSettingsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TSettingsForm(QWidget *parent = nullptr);

    void fill(const SettingsDialogValues &values);
    SettingsDialogValues values() const;

private:
    void Button3Click();
    void updateEnabled();

    QPushButton *Button3 = nullptr;
    QCheckBox *associateFolders = nullptr;
    QCheckBox *rmPos = nullptr;
    QCheckBox *rmDirs = nullptr;
    QLineEdit *RightDir = nullptr;
    QLineEdit *LeftDir = nullptr;
    QLineEdit *KompDir = nullptr;
    QCheckBox *ShowHiddenWinFiles = nullptr;
    QCheckBox *LogAutoCloseBox = nullptr;
    QCheckBox *StartCommandBox = nullptr;
    QLineEdit *edtStartCommand = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button1 = nullptr;
};

// The menu item: fills the dialog from settings.ini and the program state and shows it; "OK"
// writes the file and updates programSettings(), "Cancel" changes nothing. True after "OK".
bool runSettingsDialog(QWidget *parent);
