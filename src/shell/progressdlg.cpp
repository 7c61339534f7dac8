#include "shell/progressdlg.h"

TLogForm::TLogForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Velbrook"));
}
