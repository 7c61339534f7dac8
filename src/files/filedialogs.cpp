#include "files/filedialogs.h"

#include "widgets/dialogutil.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

PushTargetDialog::PushTargetDialog(const QString &leftDir, const QString &rightDir, Option preselected, QWidget *parent)
    : QDialog(parent), m_left(leftDir), m_right(rightDir)
{
    setObjectName(QStringLiteral("PushForm"));
    setWindowTitle(QStringLiteral("Pushing settings"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Select destination"), this);
    group->setObjectName(QStringLiteral("OptionBox"));
    auto *groupLayout = new QVBoxLayout(group);
    m_targets = new QButtonGroup(this);
    m_targets->setObjectName(QStringLiteral("Option"));
    const QStringList captions{QStringLiteral("SD Card"), QStringLiteral("Left Panel"), QStringLiteral("Right Panel"),
                               QStringLiteral("Any directory")};
    for (int i = 0; i < captions.size(); ++i) {
        auto *radio = new QRadioButton(captions.at(i), group);
        radio->setObjectName(QStringLiteral("Option%1").arg(i));
        m_targets->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    layout->addWidget(group);
    m_folderEdit = new QLineEdit(QStringLiteral("/"), this);
    m_folderEdit->setObjectName(QStringLiteral("Directory"));
    layout->addWidget(m_folderEdit);
    layout->addWidget(okCancel(this));
    connect(m_targets, &QButtonGroup::idClicked, this, [this](int id) { selectOption(static_cast<Option>(id)); });
    selectOption(preselected);
    centreOnScreen(this);
}

void PushTargetDialog::selectOption(Option option)
{
    m_targets->button(option)->setChecked(true);
    switch (option) {
    case SdCard:
        m_folderEdit->setText(QStringLiteral("/sdcard/"));
        break;
    case LeftPanel:
        m_folderEdit->setText(m_left);
        break;
    case RightPanel:
        m_folderEdit->setText(m_right);
        break;
    case AnyDirectory:
        m_folderEdit->setText(QStringLiteral("/"));
        break;
    }
    setReadOnlyLook(m_folderEdit, option != AnyDirectory);
}

QString PushTargetDialog::destination() const
{
    switch (m_targets->checkedId()) {
    case SdCard:
        return QStringLiteral("/sdcard/");
    case LeftPanel:
        return m_left;
    case RightPanel:
        return m_right;
    default: {
        QString dir = m_folderEdit->text().trimmed();
        if (dir.isEmpty())
            dir = QStringLiteral("/");
        if (!dir.endsWith(u'/'))
            dir += u'/';
        return dir;
    }
    }
}

RenameDialog::RenameDialog(const QString &caption, const QString &name, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RenameDlg"));
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Type the new name below:"), this));
    m_nameEdit = new QLineEdit(name, this);
    m_nameEdit->setObjectName(QStringLiteral("NewName"));
    layout->addWidget(m_nameEdit);
    layout->addWidget(okCancel(this));
    setMinimumWidth(300);
    centreOnScreen(this);
}

void RenameDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_nameEdit->setFocus();
    m_nameEdit->selectAll();
}

QString RenameDialog::name() const
{
    return m_nameEdit->text().trimmed();
}

QString RenameDialog::typedName() const
{
    return m_nameEdit->text();
}
