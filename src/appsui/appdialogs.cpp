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

UninstallDialog::UninstallDialog(QWidget *parent, const QStringList &names) : QDialog(parent, kFixedDialog)
{
    setObjectName(QStringLiteral("UninstallForm"));
    setWindowTitle(QStringLiteral("Uninstall settings"));
    auto *layout = new QVBoxLayout(this);
    if (!names.isEmpty()) {
        QString question = QStringLiteral("Uninstall these %1 applications?\n").arg(names.size()) + nameList(names);
        if (names.size() == 1)
            question = QStringLiteral("Uninstall ") + names.first() + u'?';
        auto *what = new QLabel(question, this);
        what->setObjectName(QStringLiteral("UninstallWhat"));
        what->setTextFormat(Qt::PlainText);
        layout->addWidget(what);
    }
    m_uninstallKind =
        radioGroup(this, layout, QStringLiteral("UninstallType"), QStringLiteral(" Select uninstallation type "),
                   {QStringLiteral("Uninstall and remove data"), QStringLiteral("Uninstall and keep data")});
    // Uninstalling cannot be undone: Enter alone must not start it.
    addButtons(this, layout, true);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

bool UninstallDialog::keepData() const
{
    return m_uninstallKind->checkedId() != 0;
}

void UninstallDialog::setKeepData(bool keep)
{
    m_uninstallKind->button(keep ? 1 : 0)->setChecked(true);
}

InstallDialog::InstallDialog(InstallChoices choices, QWidget *parent) : QDialog(parent, kFixedDialog)
{
    setObjectName(QStringLiteral("InstallForm"));
    setWindowTitle(QStringLiteral("Select installation type"));
    auto *layout = new QVBoxLayout(this);
    m_installKind =
        radioGroup(this, layout, QStringLiteral("InstallType"), QStringLiteral(" Select installation type "),
                   {QStringLiteral("Regular installation"), QStringLiteral("Install as private"),
                    QStringLiteral("Update application")});
    m_installKind->button(Private)->setVisible(choices.privateInstall);
    m_onSdBox = new QCheckBox(QStringLiteral("Install on SD"), this);
    m_onSdBox->setObjectName(QStringLiteral("OnSD"));
    m_onSdBox->setVisible(choices.onSd);
    layout->addWidget(m_onSdBox);
    addButtons(this, layout, false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

QString InstallDialog::installOptions() const
{
    const int type = m_installKind->checkedId();
    QString options;
    if (type == Private)
        return QStringLiteral("-l ");
    if (type == Update)
        options = QStringLiteral("-r ");
    // A forward-locked package cannot live on the SD card, so "-s" never goes with "-l".
    if (!m_onSdBox->isHidden() && m_onSdBox->isChecked())
        options.prepend(QStringLiteral("-s "));
    return options;
}

void InstallDialog::setType(Type type)
{
    // A hidden option is one the phone refuses; it cannot be chosen.
    QAbstractButton *button = m_installKind->button(type);
    if (!button->isHidden())
        button->setChecked(true);
}

void InstallDialog::setOnSd(bool on)
{
    m_onSdBox->setChecked(on);
}
