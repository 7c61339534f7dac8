#include "appsui/apps2sdsettings.h"
#include "base/appstate.h"
#include "app/mainform.h"
#include "widgets/dialogprompter.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velbrook"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/velbrook-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    setPrompter(std::make_unique<WidgetPrompter>());

    MainWindow mainForm(parseStartArguments(app.arguments().mid(1)));
    mainForm.startUp();
    Apps2SdDialog apps2SdForm(&mainForm);

    int result = 0;
    if (!appState().quitAfterStart) {
        mainForm.show();
        result = QApplication::exec();
    }
    mainForm.stopMonitor();
    return result;
}
