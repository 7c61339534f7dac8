#include "files/filedialogs.h"

#include "widgets/dialogutil.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

TPushForm::TPushForm(const QString &leftDir, const QString &rightDir, Option preselected, QWidget *parent)
    : QDialog(parent), m_left(leftDir), m_right(rightDir)
{
    setObjectName(QStringLiteral("PushForm"));
    setWindowTitle(QStringLiteral("Pushing settings"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Select destination"), this);
    group->setObjectName(QStringLiteral("OptionBox"));
    auto *groupLayout = new QVBoxLayout(group);
    Option_ = new QButtonGroup(this);
    Option_->setObjectName(QStringLiteral("Option"));
    const QStringList captions{QStringLiteral("SD Card"), QStringLiteral("Left Panel"), QStringLiteral("Right Panel"),
                               QStringLiteral("Any directory")};
    for (int i = 0; i < captions.size(); ++i) {
        auto *radio = new QRadioButton(captions.at(i), group);
        radio->setObjectName(QStringLiteral("Option%1").arg(i));
        Option_->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    layout->addWidget(group);
    Directory = new QLineEdit(QStringLiteral("/"), this);
    Directory->setObjectName(QStringLiteral("Directory"));
    layout->addWidget(Directory);
    layout->addWidget(okCancel(this));
    connect(Option_, &QButtonGroup::idClicked, this, [this](int id) { selectOption(static_cast<Option>(id)); });
    selectOption(preselected);
    centreOnScreen(this);
}

void TPushForm::selectOption(Option option)
{
    Option_->button(option)->setChecked(true);
    switch (option) {
    case SdCard:
        Directory->setText(QStringLiteral("/sdcard/"));
        break;
    case LeftPanel:
        Directory->setText(m_left);
        break;
    case RightPanel:
        Directory->setText(m_right);
        break;
    case AnyDirectory:
        Directory->setText(QStringLiteral("/"));
        break;
    }
    setReadOnlyLook(Directory, option != AnyDirectory);
}

QString TPushForm::destination() const
{
    switch (Option_->checkedId()) {
    case SdCard:
        return QStringLiteral("/sdcard/");
    case LeftPanel:
        return m_left;
    case RightPanel:
        return m_right;
    default: {
        QString dir = Directory->text().trimmed();
        if (dir.isEmpty())
            dir = QStringLiteral("/");
        if (!dir.endsWith(u'/'))
            dir += u'/';
        return dir;
    }
    }
}

TRenameDlg::TRenameDlg(const QString &caption, const QString &name, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RenameDlg"));
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Type below new name"), this));
    NewName = new QLineEdit(name, this);
    NewName->setObjectName(QStringLiteral("NewName"));
    layout->addWidget(NewName);
    layout->addWidget(okCancel(this));
    setMinimumWidth(300);
    centreOnScreen(this);
}

void TRenameDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    NewName->setFocus();
    NewName->selectAll();
}

QString TRenameDlg::name() const
{
    return NewName->text().trimmed();
}

QString TRenameDlg::typedName() const
{
    return NewName->text();
}
