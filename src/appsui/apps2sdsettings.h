#pragma once

#include <QDialog>

class QButtonGroup;
class QPushButton;

// Lets the user say where the phone keeps its applications when detection may guess wrong.
class TApps2SdForm final : public QDialog {
    Q_OBJECT
public:
    explicit TApps2SdForm(QWidget *parent = nullptr);

    int selectedOption() const;
    void setCancelVisible(bool visible);

private:
    QButtonGroup *Apps2SdType;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
