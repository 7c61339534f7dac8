#pragma once

#include "bridge/adbutils.h"
#include "bridge/devicechoice.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

// Shown when no usable phone is there: says what adb reports and what to do, lets the user pick one
// of several devices, and notices by itself when a phone becomes usable; OK, Refresh, or Exit.
class DeviceDialog final : public QDialog {
    Q_OBJECT
public:
    // Asks "adb devices -l" at once and then every `pollIntervalMs` while the window lives.
    explicit DeviceDialog(QWidget *parent = nullptr, std::shared_ptr<CommandRunner> runner = defaultCommandRunner(),
                          int pollIntervalMs = 1000);

    void setPollInterval(int ms);
    void btnRefreshClick();
    // Makes the picked device the one every later adb talks to.
    void accept() override;

private:
    void showView();
    QString pickedSerial() const;

    AdbClient m_adb;
    QList<AdbDevice> m_devices;
    DeviceWindowView m_view;
    bool m_polling = false;

    QLabel *m_deviceLabel;
    QLabel *m_adviceLabel;
    QTreeWidget *m_deviceList;
    QPushButton *m_refreshButton;
    QPushButton *m_exitButton;
    QPushButton *m_okButton;
    QTimer *m_poll;
};
