#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Shown when no phone is attached: the user reconnects it, presses Refresh, then OK; or Exit.
class TDeviceForm final : public QDialog {
    Q_OBJECT
public:
    explicit TDeviceForm(QWidget *parent = nullptr);

    void btnRefreshClick();

private:
    QLabel *Device;
    QPushButton *btnRefresh;
    QPushButton *btnExit;
    QPushButton *btnOK;
};
