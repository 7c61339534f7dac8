#include "shell/loadingdlg.h"

#include "shell/dialogutil.h"

#include <QProgressBar>
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
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Progress);
    setFixedSize(240, 23);
    m_timer = new QTimer(this);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, [this] {
        // Steps round and round: start-up has no known length.
        Progress->setValue(Progress->value() >= Progress->maximum() ? 0 : Progress->value() + 1);
    });
    m_timer->start();
    centreOnScreen(this);
}
