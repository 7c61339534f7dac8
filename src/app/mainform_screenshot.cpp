#include "app/mainform.h"

#include "base/prompter.h"
#include "deviceui/screenshotform.h"

#include <QAction>

void MainWindow::connectScreenshot()
{
    const auto open = [this](ScreenFamily family) {
        ScreenshotWindow form(*m_adb, family, this);
        form.captureScreen();
        prompter().exec(form);
    };
    // The family only matters to phones without screencap, which are read through the framebuffer.
    connect(findChild<QAction *>(QStringLiteral("screenshotNexusAction")), &QAction::triggered, this,
            [open] { open(ScreenFamily::Nexus); });
    connect(findChild<QAction *>(QStringLiteral("screenshotG1Action")), &QAction::triggered, this,
            [open] { open(ScreenFamily::G1); });
}
