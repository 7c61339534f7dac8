#include "apps/apps2sdsettings.h"
#include "base/appstate.h"
#include "app/mainform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velbrook"));

    TMainForm mainForm(parseStartArguments(app.arguments().mid(1)));
    mainForm.FormCreate();
    TApps2SdForm apps2SdForm(&mainForm);

    int result = 0;
    if (!appState().QuitAfterStart) {
        mainForm.show();
        result = QApplication::exec();
    }
    mainForm.stopMonitor();
    return result;
}
