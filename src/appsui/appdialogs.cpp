#include "appsui/appdialogs.h"

#include "widgets/dialogutil.h"
#include "lists/listengine.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

// A titled box of radio buttons; the button group's ids are the options' indexes.
QButtonGroup *radioGroup(QDialog *dialog, QVBoxLayout *layout, const QString &name, const QString &title,
                         const QStringList &options)
{
    auto *box = new QGroupBox(title, dialog);
    box->setObjectName(name);
    auto *boxLayout = new QVBoxLayout(box);
    auto *group = new QButtonGroup(dialog);
    group->setObjectName(name + QStringLiteral("Group"));
    for (int i = 0; i < options.size(); ++i) {
        auto *radio = new QRadioButton(options.at(i), box);
        radio->setObjectName(name + QString::number(i));
        group->addButton(radio, i);
        boxLayout->addWidget(radio);
    }
    group->button(0)->setChecked(true);
    layout->addWidget(box);
    return group;
}

// "OK" and "Cancel" as every dialog has them; the caller says which of them has the focus.
void addButtons(QDialog *dialog, QVBoxLayout *layout, bool focusCancel)
{
    QDialogButtonBox *buttons = okCancel(dialog);
    layout->addWidget(buttons);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    QPushButton *cancel = buttons->button(QDialogButtonBox::Cancel);
    ok->setDefault(!focusCancel);
    cancel->setDefault(focusCancel);
    (focusCancel ? cancel : ok)->setFocus();
}

} // namespace

TUninstallForm::TUninstallForm(QWidget *parent, const QStringList &names) : QDialog(parent, kFixedDialog)
{
    setObjectName(QStringLiteral("UninstallForm"));
    setWindowTitle(QStringLiteral("Uninstall settings"));
    auto *layout = new QVBoxLayout(this);
    if (!names.isEmpty()) {
        QString question = QStringLiteral("Uninstall these %1 applications?\n").arg(names.size()) + NameList(names);
        if (names.size() == 1)
            question = QStringLiteral("Uninstall ") + names.first() + u'?';
        auto *what = new QLabel(question, this);
        what->setObjectName(QStringLiteral("UninstallWhat"));
        what->setTextFormat(Qt::PlainText);
        layout->addWidget(what);
    }
    UninstallType =
        radioGroup(this, layout, QStringLiteral("UninstallType"), QStringLiteral(" Select uninstallation type "),
                   {QStringLiteral("Uninstall and remove data"), QStringLiteral("Uninstall and keep data")});
    // Uninstalling cannot be undone: Enter alone must not start it.
    addButtons(this, layout, true);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

bool TUninstallForm::keepData() const
{
    return UninstallType->checkedId() != 0;
}

void TUninstallForm::setKeepData(bool keep)
{
    UninstallType->button(keep ? 1 : 0)->setChecked(true);
}

TInstallForm::TInstallForm(InstallChoices choices, QWidget *parent) : QDialog(parent, kFixedDialog)
{
    setObjectName(QStringLiteral("InstallForm"));
    setWindowTitle(QStringLiteral("Select installation type"));
    auto *layout = new QVBoxLayout(this);
    InstallType = radioGroup(this, layout, QStringLiteral("InstallType"), QStringLiteral(" Select installation type "),
                             {QStringLiteral("Regular installation"), QStringLiteral("Install as private"),
                              QStringLiteral("Update application")});
    InstallType->button(Private)->setVisible(choices.privateInstall);
    OnSD = new QCheckBox(QStringLiteral("Install on SD"), this);
    OnSD->setObjectName(QStringLiteral("OnSD"));
    OnSD->setVisible(choices.onSd);
    layout->addWidget(OnSD);
    addButtons(this, layout, false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

QString TInstallForm::InstallOptions() const
{
    const int type = InstallType->checkedId();
    QString options;
    if (type == Private)
        return QStringLiteral("-l ");
    if (type == Update)
        options = QStringLiteral("-r ");
    // A forward-locked package cannot live on the SD card, so "-s" never goes with "-l".
    if (!OnSD->isHidden() && OnSD->isChecked())
        options.prepend(QStringLiteral("-s "));
    return options;
}

void TInstallForm::setType(Type type)
{
    // A hidden option is one the phone refuses; it cannot be chosen.
    QAbstractButton *button = InstallType->button(type);
    if (!button->isHidden())
        button->setChecked(true);
}

void TInstallForm::setOnSd(bool on)
{
    OnSD->setChecked(on);
}
