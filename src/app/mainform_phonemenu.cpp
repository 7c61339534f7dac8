#include "app/mainform.h"

#include "app/progressdlg.h"
#include "base/prompter.h"
#include "deviceui/aboutdlg.h"
#include "device/externaltools.h"
#include "device/flashing.h"
#include "deviceui/toolsettingsdlg.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace {

QAction *actionOf(const QList<QAction *> &actions, const QString &caption)
{
    for (QAction *action : actions) {
        if (action->text() == caption)
            return action;
    }
    return nullptr;
}

QMenu *subMenu(const QList<QAction *> &actions, const QString &caption, const char *name)
{
    QAction *action = actionOf(actions, caption);
    if (!action || !action->menu())
        return nullptr;
    if (action->objectName().isEmpty())
        action->setObjectName(QLatin1String(name));
    return action->menu();
}

// Names the item and runs `handler` when it is chosen.
template <typename Handler>
void wire(QObject *context, QMenu *menu, const QString &caption, const char *name, Handler handler)
{
    QAction *action = menu ? actionOf(menu->actions(), caption) : nullptr;
    if (!action)
        return;
    if (action->objectName().isEmpty())
        action->setObjectName(QLatin1String(name));
    QObject::connect(action, &QAction::triggered, context, handler);
}

// The status strip's heart opens the donation page, as a link would.
class LinkClick final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            prompter().openExternal(donateUrl());
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void MainWindow::connectPhoneMenu()
{
    const QList<QAction *> bar = menuBar()->actions();
    QMenu *program = subMenu(bar, QStringLiteral("Program"), "Program1");
    QMenu *phone = subMenu(bar, QStringLiteral("Phone"), "Phone1");
    QMenu *tools = subMenu(bar, QStringLiteral("Tools"), "ools1");

    wire(this, program, QStringLiteral("About"), "aboutAction", [this] {
        AboutDialog about(this);
        prompter().exec(about);
    });

    const auto flashing = [this] { return Flashing(this, *m_adb, *m_logDialog, prompter()); };
    QMenu *flash = phone ? subMenu(phone->actions(), QStringLiteral("Flash..."), "flashAction") : nullptr;
    wire(this, flash, QStringLiteral("Update"), "FlashUpdate", [flashing] { flashing().flashUpdate(); });
    QMenu *image = flash ? subMenu(flash->actions(), QStringLiteral("Image"), "FlashImage") : nullptr;
    wire(this, image, QStringLiteral("Recovery"), "FlashRecovery",
         [flashing] { flashing().flashImage(Flashing::Partition::Recovery); });
    wire(this, image, QStringLiteral("Boot"), "FlashBoot",
         [flashing] { flashing().flashImage(Flashing::Partition::Boot); });

    QMenu *reboot = phone ? subMenu(phone->actions(), QStringLiteral("Reboot"), "Reboot2") : nullptr;
    wire(this, reboot, QStringLiteral("Regular Reboot"), "Reboot1",
         [flashing] { flashing().reboot(Flashing::Reboot::Regular); });
    wire(this, reboot, QStringLiteral("Reboot to Recovery"), "RebootRecovery1",
         [flashing] { flashing().reboot(Flashing::Reboot::Recovery); });
    wire(this, reboot, QStringLiteral("Reboot to Bootloader"), "RebootBootloader1",
         [flashing] { flashing().reboot(Flashing::Reboot::Bootloader); });
    wire(this, reboot, QStringLiteral("Power Off"), "powerOffAction",
         [flashing] { flashing().reboot(Flashing::Reboot::PowerOff); });

    wire(this, tools, QStringLiteral("Run DDMS"), "RunDDMS", [this] { runDdms(this, prompter()); });
    wire(this, tools, QStringLiteral("SQLite Browser Settings"), "SQL", [this] {
        SqliteBrowserSettingsDialog dialog(this);
        prompter().exec(dialog);
    });
    QMenu *sign = tools ? subMenu(tools->actions(), QStringLiteral("Sign file..."), "SignFile") : nullptr;
    wire(this, sign, QStringLiteral("Sign APK file"), "SignAPK", [this] { signFile(this, *m_adb, prompter(), true); });
    wire(this, sign, QStringLiteral("Sign ZIP file"), "SignZip", [this] { signFile(this, *m_adb, prompter(), false); });
    wire(this, tools, QStringLiteral("SignAPK Settings"), "SignAPKSettings", [this] {
        SignApkSettingsDialog dialog(this);
        prompter().exec(dialog);
    });

    if (auto *donate = findChild<QLabel *>(QStringLiteral("Donate")))
        donate->installEventFilter(new LinkClick(donate));
}
