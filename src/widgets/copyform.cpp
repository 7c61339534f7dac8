#include "widgets/copyform.h"

#include "widgets/dialogutil.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TCopyForm::TCopyForm(const QString &source, const QString &destination, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CopyForm"));
    setWindowTitle(QStringLiteral("Copy settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Source:"), this));
    edtSource = new QLineEdit(source, this);
    edtSource->setObjectName(QStringLiteral("edtSource"));
    setReadOnlyLook(edtSource, true);
    layout->addWidget(edtSource);
    layout->addWidget(new QLabel(QStringLiteral("Destination"), this));
    edtDestination = new QLineEdit(destination, this);
    edtDestination->setObjectName(QStringLiteral("edtDestination"));
    setReadOnlyLook(edtDestination, true);
    layout->addWidget(edtDestination);
    Custom = new QCheckBox(QStringLiteral("Custom destination"), this);
    Custom->setObjectName(QStringLiteral("Custom"));
    layout->addWidget(Custom);
    layout->addWidget(okCancel(this));
    connect(Custom, &QCheckBox::toggled, this, [this](bool on) { setReadOnlyLook(edtDestination, !on); });
    setMinimumWidth(360);
    centreOnScreen(this);
}

QString TCopyForm::destination() const
{
    return edtDestination->text().trimmed();
}
