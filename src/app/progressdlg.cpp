#include "app/progressdlg.h"

#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {
// The cycling bar's length; a filling bar counts in thousandths, as byte counts overflow an int.
constexpr int kCycleSteps = 50;
constexpr int kBarSteps = 1000;
// At most ten refreshes a second, however often the batch reports.
constexpr qint64 kRefreshMsec = 100;
} // namespace

OperationLogDialog::OperationLogDialog(QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Operation progress"));

    m_logView = new QPlainTextEdit(this);
    m_logView->setObjectName(QStringLiteral("Log"));
    m_logView->setReadOnly(true);
    QFont mono(QStringLiteral("Lucida Console"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    m_logView->setFont(mono);
    m_logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, kCycleSteps);
    m_progressBar->setTextVisible(false);

    m_progressText = new QLabel(this);
    m_progressText->setObjectName(QStringLiteral("ProgressText"));
    // Long figures are clipped rather than widening the window at each report.
    m_progressText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progressText->hide();

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("buttonPanel"));
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    m_autoCloseBox = new QCheckBox(QStringLiteral("Close when the operation finishes"), panel);
    m_autoCloseBox->setObjectName(QStringLiteral("AutoClose"));
    m_okButton = new QPushButton(QStringLiteral("Close"), panel);
    m_okButton->setObjectName(QStringLiteral("btnOK"));
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), panel);
    m_cancelButton->setObjectName(QStringLiteral("btnCancel"));
    m_cancelButton->setEnabled(false);
    panelLayout->addWidget(m_autoCloseBox);
    panelLayout->addStretch();
    panelLayout->addWidget(m_cancelButton);
    panelLayout->addWidget(m_okButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_logView, 1);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_progressText);
    layout->addWidget(panel);

    m_pulseTimer = new QTimer(this);
    m_pulseTimer->setObjectName(QStringLiteral("Timer"));
    m_pulseTimer->setInterval(50);
    connect(m_pulseTimer, &QTimer::timeout, this, [this] {
        // Cycles: it says that work goes on, not how much is done.
        m_progressBar->setValue(m_progressBar->value() >= m_progressBar->maximum() ? m_progressBar->minimum()
                                                                                   : m_progressBar->value() + 1);
    });
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    connect(m_progressTimer, &QTimer::timeout, this, &OperationLogDialog::showProgress);
    connect(m_okButton, &QPushButton::clicked, this, &OperationLogDialog::btnOKClick);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        m_cancelButton->setEnabled(false);
        if (m_cancel)
            m_cancel();
    });

    // Modal to its owner only: a dialog that started the operation waits for it, and nothing else does.
    setWindowModality(Qt::WindowModal);
    resize(500, 400);
    centreOnScreen(this);
}

void OperationLogDialog::attachTo(QWidget *owner)
{
    if (!owner || parentWidget() == owner)
        return;
    // A new parent hides the window; the position on screen goes with it.
    const QPoint at = pos();
    setParent(owner, windowFlags());
    move(at);
}

void OperationLogDialog::enableOwners(bool enabled)
{
    if (m_mainWindow)
        m_mainWindow->setEnabled(enabled);
    if (QWidget *owner = parentWidget(); owner && owner != m_mainWindow)
        owner->setEnabled(enabled);
}

QString OperationLogDialog::lastLogPath()
{
    return appState().tempDir + QStringLiteral("/LastLog.txt");
}

void OperationLogDialog::beginOperation(std::function<void()> cancel)
{
    m_running = true;
    m_cancel = std::move(cancel);
    m_cancelButton->setEnabled(bool(m_cancel));
    m_autoCloseBox->setChecked(programSettings().autoCloseLog);
    m_logView->clear();
    m_meter.reset();
    m_progressTimer->stop();
    m_barFilling = false;
    m_progressText->clear();
    m_progressText->hide();
    m_progressBar->setRange(0, kCycleSteps);
    m_progressBar->setValue(5);
    m_pulseTimer->setInterval(50);
    m_clock.start();
    m_shownAt = 0;
    // A modal dialog blocks every window outside it, and may close once done: the log stands over the one the
    // operation was started from, and leaves it when it closes.
    if (!isVisible()) {
        QWidget *modal = QApplication::activeModalWidget();
        attachTo(modal && modal != this ? modal : m_mainWindow);
    }
    show();
    raise();
    activateWindow();
    // Also when the window stayed open after the last operation and shows no new showEvent.
    m_pulseTimer->start();
}

void OperationLogDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    enableOwners(false);
    // The log itself stays usable although its parent is disabled.
    setEnabled(true);
    m_okButton->setEnabled(!m_running);
    m_cancelButton->setEnabled(m_running && m_cancel);
    if (m_running && !m_barFilling)
        m_pulseTimer->start();
}

void OperationLogDialog::logLine(const QString &text)
{
    m_logView->appendPlainText(text);
}

void OperationLogDialog::reportProgress(const TransferProgress &progress)
{
    // A late report would bring back a time left to a finished operation.
    if (!m_running)
        return;
    const bool first = !m_meter.hasProgress();
    m_meter.update(progress, m_clock.elapsed());
    if (m_progressTimer->isActive())
        return;
    const qint64 since = m_clock.elapsed() - m_shownAt;
    if (first || since >= kRefreshMsec)
        showProgress();
    else
        m_progressTimer->start(int(kRefreshMsec - since));
}

void OperationLogDialog::showProgress()
{
    m_shownAt = m_clock.elapsed();
    const double fraction = m_meter.fraction();
    // Without any total the bar has nothing to fill, and keeps saying that work goes on.
    if (fraction >= 0) {
        if (!m_barFilling) {
            m_barFilling = true;
            m_pulseTimer->stop();
            m_progressBar->setRange(0, kBarSteps);
        }
        m_progressBar->setValue(int(std::lround(fraction * kBarSteps)));
    }
    // Each new text asks the layout again, so an unchanged one is not set.
    const QString text = m_meter.text();
    if (text != m_progressText->text())
        m_progressText->setText(text);
    if (m_progressText->isHidden())
        m_progressText->show();
}

void OperationLogDialog::endOperation(const QString &summary)
{
    m_pulseTimer->stop();
    m_progressTimer->stop();
    logLine(QStringLiteral(" "));
    logLine(summary.isEmpty() ? QStringLiteral("*** Operation complete! ***")
                              : QStringLiteral("*** ") + summary + QStringLiteral(" ***"));

    QSaveFile file(lastLogPath());
    QByteArray bytes = m_logView->toPlainText().toLocal8Bit();
    bytes.replace("\n", "\r\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        logLine(QStringLiteral("The log could not be saved to ") + lastLogPath() + QStringLiteral(": ") +
                file.errorString());

    if (m_meter.hasProgress()) {
        m_meter.finish();
        showProgress();
    }
    // A batch stopped half way keeps the bar where it stopped.
    if (m_meter.fraction() < 0)
        m_progressBar->setValue(m_progressBar->maximum());
    m_running = false;
    m_cancel = nullptr;
    m_cancelButton->setEnabled(false);
    if (!m_autoCloseBox->isChecked()) {
        m_okButton->setEnabled(true);
        m_okButton->setFocus();
    } else {
        btnOKClick();
    }
}

void OperationLogDialog::btnOKClick()
{
    programSettings().autoCloseLog = m_autoCloseBox->isChecked();
    enableOwners(true);
    hide();
    // The dialog it stood over may go now without taking the log along.
    attachTo(m_mainWindow);
}

QString OperationLogDialog::text() const
{
    return m_logView->toPlainText();
}

void OperationLogDialog::closeEvent(QCloseEvent *event)
{
    // Only "Close" ends the window, and only once the operation has finished.
    if (m_running || isVisible())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void OperationLogDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
