#include "app/mainform.h"

#include "base/prompter.h"
#include "deviceui/screenshotform.h"

#include <QAction>

void MainWindow::connectScreenshot()
{
    connect(findChild<QAction *>(QStringLiteral("screenshotAction")), &QAction::triggered, this, [this] {
        ScreenshotWindow form(*m_adb, this);
        form.captureScreen();
        prompter().exec(form);
    });
}
