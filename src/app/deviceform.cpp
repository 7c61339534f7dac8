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

TDeviceForm::TDeviceForm(QWidget *parent, std::shared_ptr<CommandRunner> runner, int pollIntervalMs)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_adb(std::move(runner))
{
    // Each poll waits in a nested loop: a hung adb must not keep the window from answering for ever.
    m_adb.setTimeout(10000);
    setObjectName(QStringLiteral("DeviceForm"));
    setWindowTitle(QStringLiteral("Velbrook"));

    Device = new QLabel(QStringLiteral("Device: not found"), this);
    Device->setObjectName(QStringLiteral("Device"));
    QFont font = Device->font();
    font.setPointSize(22);
    font.setBold(true);
    Device->setFont(font);
    Device->setStyleSheet(kPlainColour);
    Device->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Advice = new QLabel(this);
    Advice->setObjectName(QStringLiteral("Advice"));
    Advice->setWordWrap(true);
    Advice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Advice->setVisible(false);

    DeviceList = new QTreeWidget(this);
    DeviceList->setObjectName(QStringLiteral("DeviceList"));
    DeviceList->setHeaderLabels({QStringLiteral("Serial"), QStringLiteral("State"), QStringLiteral("Model")});
    DeviceList->setRootIsDecorated(false);
    DeviceList->setUniformRowHeights(true);
    DeviceList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    DeviceList->setVisible(false);

    btnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnExit = new QPushButton(QStringLiteral("Exit"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnRefresh);
    buttons->addStretch();
    buttons->addWidget(btnExit);
    buttons->addWidget(btnOK);
    auto *layout = new QVBoxLayout(this);
    // The whole serial stays readable: the window grows with the headline instead of cutting it.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addItem(new QSpacerItem(341, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    layout->addWidget(Device);
    layout->addWidget(Advice);
    layout->addWidget(DeviceList, 1);
    layout->addLayout(buttons);

    connect(btnRefresh, &QPushButton::clicked, this, &TDeviceForm::btnRefreshClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnOK, &QPushButton::clicked, this, &TDeviceForm::accept);
    connect(DeviceList, &QTreeWidget::itemSelectionChanged, this, &TDeviceForm::showView);

    // The user replugs the cable or confirms the prompt on the phone: the window sees it without Refresh.
    m_poll = new QTimer(this);
    m_poll->setObjectName(QStringLiteral("DevicePoll"));
    m_poll->setInterval(pollIntervalMs);
    connect(m_poll, &QTimer::timeout, this, &TDeviceForm::btnRefreshClick);

    btnRefreshClick();
    m_poll->start();
    centreOnScreen(this);
}

void TDeviceForm::setPollInterval(int ms)
{
    m_poll->setInterval(ms);
}

void TDeviceForm::btnRefreshClick()
{
    // adb runs in a nested event loop where the next tick or a click may arrive.
    if (m_polling)
        return;
    m_polling = true;
    m_devices = m_adb.Devices(true);
    m_polling = false;
    showView();
}

QString TDeviceForm::pickedSerial() const
{
    const QList<QTreeWidgetItem *> selected = DeviceList->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void TDeviceForm::showView()
{
    const QString picked = pickedSerial();
    m_view = describeDevices(m_devices, chosenDeviceSerial(), picked);

    const bool listWasVisible = !DeviceList->isHidden();
    {
        const QSignalBlocker blocker(DeviceList);
        DeviceList->clear();
        if (m_view.showList) {
            for (const AdbDevice &device : std::as_const(m_devices)) {
                auto *row = new QTreeWidgetItem(DeviceList, {device.serial, device.stateText, device.model});
                if (device.serial == m_view.focusSerial)
                    row->setSelected(true);
            }
        }
    }
    DeviceList->setVisible(m_view.showList);

    const bool headlineChanged = Device->text() != m_view.headline;
    Device->setText(m_view.headline);
    Device->setStyleSheet(m_view.usable ? kUsableColour : kPlainColour);
    Advice->setText(m_view.advice);
    Advice->setVisible(!m_view.advice.isEmpty());
    btnOK->setEnabled(m_view.usable);
    if (headlineChanged || listWasVisible != m_view.showList)
        adjustSize();
}

void TDeviceForm::accept()
{
    if (!m_view.usable)
        return;
    if (!m_view.serialToChoose.isEmpty())
        setChosenDeviceSerial(m_view.serialToChoose);
    QDialog::accept();
}
