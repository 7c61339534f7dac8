#include "app/progressdlg.h"

#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/settings.h"

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
constexpr int CycleSteps = 50;
constexpr int BarSteps = 1000;
// At most ten refreshes a second, however often the batch reports.
constexpr qint64 RefreshMsec = 100;
} // namespace

TLogForm::TLogForm(QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Operation progress"));

    Log = new QPlainTextEdit(this);
    Log->setObjectName(QStringLiteral("Log"));
    Log->setReadOnly(true);
    QFont mono(QStringLiteral("Lucida Console"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    Log->setFont(mono);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Postep = new QProgressBar(this);
    Postep->setObjectName(QStringLiteral("Postep"));
    Postep->setRange(0, CycleSteps);
    Postep->setTextVisible(false);

    ProgressText = new QLabel(this);
    ProgressText->setObjectName(QStringLiteral("ProgressText"));
    // Long figures are clipped rather than widening the window at each report.
    ProgressText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ProgressText->hide();

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    AutoClose = new QCheckBox(QStringLiteral("Close after operation finish"), panel);
    AutoClose->setObjectName(QStringLiteral("AutoClose"));
    btnOK = new QPushButton(QStringLiteral("Close"), panel);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), panel);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setEnabled(false);
    panelLayout->addWidget(AutoClose);
    panelLayout->addStretch();
    panelLayout->addWidget(btnCancel);
    panelLayout->addWidget(btnOK);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Log, 1);
    layout->addWidget(Postep);
    layout->addWidget(ProgressText);
    layout->addWidget(panel);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(50);
    connect(Timer, &QTimer::timeout, this, [this] {
        // Cycles: it says that work goes on, not how much is done.
        Postep->setValue(Postep->value() >= Postep->maximum() ? Postep->minimum() : Postep->value() + 1);
    });
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    connect(m_progressTimer, &QTimer::timeout, this, &TLogForm::showProgress);
    connect(btnOK, &QPushButton::clicked, this, &TLogForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        btnCancel->setEnabled(false);
        if (m_cancel)
            m_cancel();
    });

    resize(500, 400);
    centreOnScreen(this);
}

QString TLogForm::lastLogPath()
{
    return appState().TempDir + QStringLiteral("/LastLog.txt");
}

void TLogForm::BeginOperation(std::function<void()> cancel)
{
    m_running = true;
    m_cancel = std::move(cancel);
    btnCancel->setEnabled(bool(m_cancel));
    AutoClose->setChecked(programSettings().AutoCloseLog);
    Log->clear();
    m_meter.reset();
    m_progressTimer->stop();
    m_barFilling = false;
    ProgressText->clear();
    ProgressText->hide();
    Postep->setRange(0, CycleSteps);
    Postep->setValue(5);
    Timer->setInterval(50);
    m_clock.start();
    m_shownAt = 0;
    show();
    raise();
    // Also when the window stayed open after the last operation and shows no new showEvent.
    Timer->start();
}

void TLogForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_mainWindow)
        m_mainWindow->setEnabled(false);
    // The log itself stays usable although its parent is disabled.
    setEnabled(true);
    btnOK->setEnabled(!m_running);
    btnCancel->setEnabled(m_running && m_cancel);
    if (m_running && !m_barFilling)
        Timer->start();
}

void TLogForm::LogLine(const QString &text)
{
    Log->appendPlainText(text);
}

void TLogForm::Progress(const TransferProgress &progress)
{
    // A late report would bring back a time left to a finished operation.
    if (!m_running)
        return;
    const bool first = !m_meter.hasProgress();
    m_meter.update(progress, m_clock.elapsed());
    if (m_progressTimer->isActive())
        return;
    const qint64 since = m_clock.elapsed() - m_shownAt;
    if (first || since >= RefreshMsec)
        showProgress();
    else
        m_progressTimer->start(int(RefreshMsec - since));
}

void TLogForm::showProgress()
{
    m_shownAt = m_clock.elapsed();
    const double fraction = m_meter.fraction();
    // Without any total the bar has nothing to fill, and keeps saying that work goes on.
    if (fraction >= 0) {
        if (!m_barFilling) {
            m_barFilling = true;
            Timer->stop();
            Postep->setRange(0, BarSteps);
        }
        Postep->setValue(int(std::lround(fraction * BarSteps)));
    }
    // Each new text asks the layout again, so an unchanged one is not set.
    const QString text = m_meter.text();
    if (text != ProgressText->text())
        ProgressText->setText(text);
    if (ProgressText->isHidden())
        ProgressText->show();
}

void TLogForm::EndOperation(const QString &summary)
{
    Timer->stop();
    m_progressTimer->stop();
    LogLine(QStringLiteral(" "));
    LogLine(summary.isEmpty() ? QStringLiteral("*** Operation complete! ***")
                              : QStringLiteral("*** ") + summary + QStringLiteral(" ***"));

    QSaveFile file(lastLogPath());
    QByteArray bytes = Log->toPlainText().toLocal8Bit();
    bytes.replace("\n", "\r\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        LogLine(QStringLiteral("The log could not be saved to ") + lastLogPath() + QStringLiteral(": ") +
                file.errorString());

    if (m_meter.hasProgress()) {
        m_meter.finish();
        showProgress();
    }
    // A batch stopped half way keeps the bar where it stopped.
    if (m_meter.fraction() < 0)
        Postep->setValue(Postep->maximum());
    m_running = false;
    m_cancel = nullptr;
    btnCancel->setEnabled(false);
    if (!AutoClose->isChecked()) {
        btnOK->setEnabled(true);
        btnOK->setFocus();
    } else {
        btnOKClick();
    }
}

void TLogForm::btnOKClick()
{
    programSettings().AutoCloseLog = AutoClose->isChecked();
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
    hide();
}

QString TLogForm::text() const
{
    return Log->toPlainText();
}

void TLogForm::closeEvent(QCloseEvent *event)
{
    // Only "Close" ends the window, and only once the operation has finished.
    if (m_running || isVisible())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TLogForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
