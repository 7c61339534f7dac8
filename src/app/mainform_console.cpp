#include "app/mainform.h"

#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "bridge/devicechoice.h"
#include "deviceui/consolepane.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace {

// Host and port of a phone whose adb daemon listens on the network.
class NetworkPhoneDialog final : public QDialog {
public:
    explicit NetworkPhoneDialog(QWidget *parent) : QDialog(parent)
    {
        setObjectName(QStringLiteral("NetworkPhoneDialog"));
        setWindowTitle(QStringLiteral("Connect over network"));
        auto *layout = new QFormLayout(this);
        m_host = new QLineEdit(this);
        m_host->setObjectName(QStringLiteral("edtHost"));
        m_host->setPlaceholderText(QStringLiteral("192.168.1.20"));
        m_port = new QSpinBox(this);
        m_port->setObjectName(QStringLiteral("edtPort"));
        m_port->setRange(1, 65535);
        // The port "adb tcpip" uses unless told otherwise.
        m_port->setValue(5555);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addRow(QStringLiteral("Host:"), m_host);
        layout->addRow(QStringLiteral("Port:"), m_port);
        layout->addRow(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    QString host() const { return m_host->text().trimmed(); }
    int port() const { return m_port->value(); }

private:
    QLineEdit *m_host;
    QSpinBox *m_port;
};

} // namespace

void MainWindow::connectConsole()
{
    auto *connectNetwork = findChild<QAction *>(QStringLiteral("connectNetworkAction"));
    connect(connectNetwork, &QAction::triggered, this, [this] {
        NetworkPhoneDialog dialog(this);
        if (prompter().exec(dialog) != QDialog::Accepted)
            return;
        if (!isNetworkHost(dialog.host())) {
            prompter().information(this, QStringLiteral("Not a host name or an IP address: ") + dialog.host());
            return;
        }
        // Its own command: not under the cancel token of a listing, and bounded for a host that never answers.
        AdbClient adb(*m_adb);
        adb.setCancelToken(nullptr);
        adb.setTimeout(30000);
        // The phone in use stays the one every command goes to: a second phone listed, even one that never
        // answers, must not leave adb without a phone to talk to.
        if (chosenDeviceSerial().isEmpty()) {
            if (const QString serial = adb.deviceSerial(); !serial.isEmpty())
                setChosenDeviceSerial(serial);
        }
        m_connectingPhone = true;
        const QString answer = adb.connectHost(dialog.host(), dialog.port());
        m_connectingPhone = false;
        updatePhoneTitle();
        prompter().information(this, answer.isEmpty() ? QStringLiteral("adb did not answer.") : answer);
    });
}
