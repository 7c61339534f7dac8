#include "app/mainform.h"

#include "base/prompter.h"
#include "deviceui/screenshotform.h"

#include <QAction>

void TMainForm::connectScreenshot()
{
    const auto open = [this](ScreenFamily family) {
        TScreenForm form(*MainADB, family, this);
        form.CaptureScreen();
        prompter().exec(form);
    };
    // The family only matters to phones without screencap, which are read through the framebuffer.
    connect(findChild<QAction *>(QStringLiteral("ScreenN1")), &QAction::triggered, this,
            [open] { open(ScreenFamily::Nexus); });
    connect(findChild<QAction *>(QStringLiteral("ScreenG1")), &QAction::triggered, this,
            [open] { open(ScreenFamily::G1); });
}
