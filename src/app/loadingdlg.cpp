#include "app/loadingdlg.h"

#include "widgets/dialogutil.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

LoadingDialog::LoadingDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("LoadingForm"));
    setWindowTitle(QStringLiteral("Loading..."));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("Progress"));
    m_progressBar->setRange(0, 50);
    m_progressBar->setTextVisible(false);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setToolTip(QStringLiteral("Stop the command that does not answer"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_progressBar, 1);
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
        m_progressBar->setValue(m_progressBar->value() >= m_progressBar->maximum() ? 0 : m_progressBar->value() + 1);
    });
    m_timer->start();
    centreOnScreen(this);
}

void LoadingDialog::setCancelAction(std::function<void()> cancel)
{
    m_cancel = std::move(cancel);
}
