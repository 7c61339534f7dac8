#include "app/progressdlg.h"

#include "base/appstate.h"
#include "base/dialogutil.h"
#include "base/settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

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
    Postep->setRange(0, 50);
    Postep->setTextVisible(false);

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
    layout->addWidget(panel);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(50);
    connect(Timer, &QTimer::timeout, this, [this] {
        // Cycles: it says that work goes on, not how much is done.
        Postep->setValue(Postep->value() >= Postep->maximum() ? Postep->minimum() : Postep->value() + 1);
    });
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
    Postep->setValue(5);
    Postep->setMaximum(50);
    Timer->setInterval(50);
    show();
    raise();
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
    if (m_running)
        Timer->start();
}

void TLogForm::LogLine(const QString &text)
{
    Log->appendPlainText(text);
}

void TLogForm::EndOperation()
{
    Timer->stop();
    LogLine(QStringLiteral(" "));
    LogLine(QStringLiteral("*** Operation complete! ***"));

    QSaveFile file(lastLogPath());
    QByteArray bytes = Log->toPlainText().toLocal8Bit();
    bytes.replace("\n", "\r\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        LogLine(QStringLiteral("The log could not be saved to ") + lastLogPath() + QStringLiteral(": ") +
                file.errorString());

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
