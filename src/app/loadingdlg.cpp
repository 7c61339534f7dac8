#include "app/loadingdlg.h"

#include "widgets/dialogutil.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TLoadingForm::TLoadingForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("LoadingForm"));
    setWindowTitle(QStringLiteral("Loading..."));
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 50);
    Progress->setTextVisible(false);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setToolTip(QStringLiteral("Stop the command that does not answer"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Progress, 1);
    layout->addWidget(cancel);
    setFixedSize(320, 28);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_cancel)
            m_cancel();
    });
    m_timer = new QTimer(this);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, [this] {
        // Steps round and round: start-up has no known length.
        Progress->setValue(Progress->value() >= Progress->maximum() ? 0 : Progress->value() + 1);
    });
    m_timer->start();
    centreOnScreen(this);
}

void TLoadingForm::setCancelAction(std::function<void()> cancel)
{
    m_cancel = std::move(cancel);
}
