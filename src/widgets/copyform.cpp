#include "widgets/copyform.h"

#include "widgets/dialogutil.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CopyDialog::CopyDialog(const QString &source, const QString &destination, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CopyForm"));
    setWindowTitle(QStringLiteral("Copy settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Source:"), this));
    m_sourceEdit = new QLineEdit(source, this);
    m_sourceEdit->setObjectName(QStringLiteral("edtSource"));
    setReadOnlyLook(m_sourceEdit, true);
    layout->addWidget(m_sourceEdit);
    layout->addWidget(new QLabel(QStringLiteral("Destination"), this));
    m_targetEdit = new QLineEdit(destination, this);
    m_targetEdit->setObjectName(QStringLiteral("edtDestination"));
    setReadOnlyLook(m_targetEdit, true);
    layout->addWidget(m_targetEdit);
    m_customBox = new QCheckBox(QStringLiteral("Custom destination"), this);
    m_customBox->setObjectName(QStringLiteral("Custom"));
    layout->addWidget(m_customBox);
    layout->addWidget(okCancel(this));
    connect(m_customBox, &QCheckBox::toggled, this, [this](bool on) { setReadOnlyLook(m_targetEdit, !on); });
    setMinimumWidth(360);
    centreOnScreen(this);
}

QString CopyDialog::destination() const
{
    return m_targetEdit->text().trimmed();
}
