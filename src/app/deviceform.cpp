#include "app/deviceform.h"

#include "widgets/dialogutil.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kUsableColour = QStringLiteral("color: rgb(0, 128, 0)");
const QString kPlainColour = QStringLiteral("color: black");

} // namespace

DeviceDialog::DeviceDialog(QWidget *parent, std::shared_ptr<CommandRunner> runner, int pollIntervalMs)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_adb(std::move(runner))
{
    // Each poll waits in a nested loop: a hung adb must not keep the window from answering for ever.
    m_adb.setTimeout(10000);
    setObjectName(QStringLiteral("DeviceForm"));
    setWindowTitle(QStringLiteral("Velbrook"));

    m_deviceLabel = new QLabel(QStringLiteral("Device: not found"), this);
    m_deviceLabel->setObjectName(QStringLiteral("Device"));
    QFont font = m_deviceLabel->font();
    font.setPointSize(22);
    font.setBold(true);
    m_deviceLabel->setFont(font);
    m_deviceLabel->setStyleSheet(kPlainColour);
    m_deviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_adviceLabel = new QLabel(this);
    m_adviceLabel->setObjectName(QStringLiteral("Advice"));
    m_adviceLabel->setWordWrap(true);
    m_adviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_adviceLabel->setVisible(false);

    m_deviceList = new QTreeWidget(this);
    m_deviceList->setObjectName(QStringLiteral("DeviceList"));
    m_deviceList->setHeaderLabels({QStringLiteral("Serial"), QStringLiteral("State"), QStringLiteral("Model")});
    m_deviceList->setRootIsDecorated(false);
    m_deviceList->setUniformRowHeights(true);
    m_deviceList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_deviceList->setVisible(false);

    m_refreshButton = new QPushButton(QStringLiteral("Refresh"), this);
    m_refreshButton->setObjectName(QStringLiteral("btnRefresh"));
    m_exitButton = new QPushButton(QStringLiteral("Exit"), this);
    m_exitButton->setObjectName(QStringLiteral("btnExit"));
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("btnOK"));
    m_okButton->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_refreshButton);
    buttons->addStretch();
    buttons->addWidget(m_exitButton);
    buttons->addWidget(m_okButton);
    auto *layout = new QVBoxLayout(this);
    // The whole serial stays readable: the window grows with the headline instead of cutting it.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addItem(new QSpacerItem(341, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    layout->addWidget(m_deviceLabel);
    layout->addWidget(m_adviceLabel);
    layout->addWidget(m_deviceList, 1);
    layout->addLayout(buttons);

    connect(m_refreshButton, &QPushButton::clicked, this, &DeviceDialog::btnRefreshClick);
    connect(m_exitButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_okButton, &QPushButton::clicked, this, &DeviceDialog::accept);
    connect(m_deviceList, &QTreeWidget::itemSelectionChanged, this, &DeviceDialog::showView);

    // The user replugs the cable or confirms the prompt on the phone: the window sees it without Refresh.
    m_poll = new QTimer(this);
    m_poll->setObjectName(QStringLiteral("DevicePoll"));
    m_poll->setInterval(pollIntervalMs);
    connect(m_poll, &QTimer::timeout, this, &DeviceDialog::btnRefreshClick);

    btnRefreshClick();
    m_poll->start();
    centreOnScreen(this);
}

void DeviceDialog::setPollInterval(int ms)
{
    m_poll->setInterval(ms);
}

void DeviceDialog::btnRefreshClick()
{
    // adb runs in a nested event loop where the next tick or a click may arrive.
    if (m_polling)
        return;
    m_polling = true;
    m_devices = m_adb.listDevices(true);
    m_polling = false;
    showView();
}

QString DeviceDialog::pickedSerial() const
{
    const QList<QTreeWidgetItem *> selected = m_deviceList->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void DeviceDialog::showView()
{
    const QString picked = pickedSerial();
    m_view = describeDevices(m_devices, chosenDeviceSerial(), picked);

    const bool listWasVisible = !m_deviceList->isHidden();
    {
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->clear();
        if (m_view.showList) {
            for (const AdbDevice &device : std::as_const(m_devices)) {
                auto *row = new QTreeWidgetItem(m_deviceList, {device.serial, device.stateText, device.model});
                if (device.serial == m_view.focusSerial)
                    row->setSelected(true);
            }
        }
    }
    m_deviceList->setVisible(m_view.showList);

    const bool headlineChanged = m_deviceLabel->text() != m_view.headline;
    m_deviceLabel->setText(m_view.headline);
    m_deviceLabel->setStyleSheet(m_view.usable ? kUsableColour : kPlainColour);
    m_adviceLabel->setText(m_view.advice);
    m_adviceLabel->setVisible(!m_view.advice.isEmpty());
    m_okButton->setEnabled(m_view.usable);
    if (headlineChanged || listWasVisible != m_view.showList)
        adjustSize();
}

void DeviceDialog::accept()
{
    if (!m_view.usable)
        return;
    if (!m_view.serialToChoose.isEmpty())
        setChosenDeviceSerial(m_view.serialToChoose);
    QDialog::accept();
}
