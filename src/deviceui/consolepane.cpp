#include "deviceui/consolepane.h"

#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString kHint = QStringLiteral("Type your shell command here");

QFont consoleFont()
{
    QFont font(QStringLiteral("Lucida Console"));
    // Linux has no Lucida Console: the system's fixed font stands in.
    font.setFamilies({QStringLiteral("Lucida Console"), QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    font.setStyleHint(QFont::Monospace);
    return font;
}

bool isInterrupt(const QKeyEvent *event)
{
    return event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier) &&
           !(event->modifiers() & (Qt::AltModifier | Qt::ShiftModifier));
}

} // namespace

ConsolePane::ConsolePane(AdbClient &adb, OperationLog &log, QWidget *parent, std::unique_ptr<ProgramRun> runner)
    : QWidget(parent), m_adb(adb), m_log(log), m_console(new ShellConsole(std::move(runner), this))
{
    auto *layout = new QVBoxLayout(this);
    m_transcript = new QPlainTextEdit(this);
    m_transcript->setObjectName(QStringLiteral("transcript"));
    m_transcript->setReadOnly(true);
    m_transcript->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_transcript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_transcript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_transcript->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: white; }"));
    m_transcript->setFont(consoleFont());
    // The widget keeps fewer lines than a command that never ends can print.
    m_transcript->setMaximumBlockCount(200000);
    m_transcript->setPlainText(m_console->transcript());

    auto *row = new QHBoxLayout;
    m_commandBox = new QComboBox(this);
    m_commandBox->setObjectName(QStringLiteral("commandBox"));
    m_commandBox->setEditable(true);
    m_commandBox->setInsertPolicy(QComboBox::NoInsert);
    // Completing from the history would change what the user types under his fingers.
    m_commandBox->setCompleter(nullptr);
    m_commandBox->setFont(consoleFont());
    m_commandBox->lineEdit()->setPlaceholderText(kHint);
    m_commandBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_sendButton = new QPushButton(QStringLiteral("Send"), this);
    m_sendButton->setObjectName(QStringLiteral("btnSend"));
    m_stopButton = new QPushButton(QStringLiteral("Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("btnStop"));
    m_stopButton->setEnabled(false);
    m_runScriptButton = new QPushButton(QStringLiteral("Run SH Script"), this);
    m_runScriptButton->setObjectName(QStringLiteral("btnRunSh"));
    row->addWidget(m_commandBox, 1);
    row->addWidget(m_sendButton);
    row->addWidget(m_stopButton);
    row->addWidget(m_runScriptButton);
    layout->addWidget(m_transcript, 1);
    layout->addLayout(row);

    for (QObject *watched : {static_cast<QObject *>(m_commandBox), static_cast<QObject *>(m_commandBox->lineEdit()),
                             static_cast<QObject *>(m_transcript)})
        watched->installEventFilter(this);
    connect(m_commandBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePane::sendCommand);
    connect(m_sendButton, &QPushButton::clicked, this, &ConsolePane::sendCommand);
    connect(m_stopButton, &QPushButton::clicked, this, &ConsolePane::stopCommand);
    connect(m_runScriptButton, &QPushButton::clicked, this, &ConsolePane::runShScript);
    connect(m_console, &ShellConsole::appended, this, &ConsolePane::showAppended);
    connect(m_console, &ShellConsole::runningChanged, this, &ConsolePane::runningChanged);
}

void ConsolePane::loadHistory()
{
    if (!m_console->history().file().isEmpty() || appState().dataDir.isEmpty())
        return;
    const QStringList typedHere = m_console->history().entries();
    m_console->history().load(QDir(appState().dataDir).filePath(QLatin1String(kHistoryFile)));
    for (const QString &command : typedHere)
        m_console->history().add(command);
    fillHistoryList();
}

void ConsolePane::fillHistoryList()
{
    const QString typed = m_commandBox->currentText();
    m_commandBox->clear();
    m_commandBox->addItems(m_console->history().entries());
    m_commandBox->setCurrentIndex(-1);
    m_commandBox->setEditText(typed);
}

void ConsolePane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    loadHistory();
}

void ConsolePane::sendCommand()
{
    loadHistory();
    const QString command = m_commandBox->currentText();
    if (!m_console->send(command))
        return;
    fillHistoryList();
    m_commandBox->setEditText(QString());
    m_commandBox->setFocus();
}

void ConsolePane::stopCommand()
{
    m_console->stop();
}

void ConsolePane::runShScript()
{
    if (m_console->isRunning())
        return;
    const QStringList files = prompter().chooseOpenFiles(this, QStringLiteral("Run SH Script"),
                                                         QStringLiteral("SH Script (*.sh)"), QString());
    if (files.isEmpty())
        return;
    const QString local = files.first();
    m_log.beginOperation();
    m_log.logLine(QStringLiteral("Pushing script: ") + QDir::toNativeSeparators(local));
    m_log.logLine(QStringLiteral(" "));
    // Running after a failed push would run an older script of the same name, or nothing.
    const PushedScript pushed = pushScript(m_adb, local, appState().shortListing);
    // Also when a later folder took it: why the first did not is worth knowing.
    for (const QString &problem : pushed.problems)
        m_log.logLine(problem);
    if (pushed.path.isEmpty()) {
        m_log.logLine(QStringLiteral("Failed"));
        m_log.endOperation();
        return;
    }
    m_log.logLine(QStringLiteral("Starting operation..."));
    m_log.logLine(QStringLiteral(" "));
    m_log.endOperation();
    // In the console, so that what the script prints is seen and a script that never ends can be stopped.
    m_pushedScript = pushed.path;
    if (!m_console->run(QStringLiteral("sh ") + quoteDevicePath(pushed.path)))
        removePushedScript();
}

void ConsolePane::removePushedScript()
{
    if (m_pushedScript.isEmpty())
        return;
    const QString path = std::exchange(m_pushedScript, QString());
    m_adb.runShell(QStringLiteral("rm ") + quoteDevicePath(path), false);
}

void ConsolePane::showAppended(const QString &text)
{
    QScrollBar *bar = m_transcript->verticalScrollBar();
    const bool atEnd = m_followEnd || bar->value() == bar->maximum();
    QTextCursor cursor(m_transcript->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    // While output arrives the view follows it, unless the user scrolled up to read.
    if (atEnd)
        scrollTranscriptToEnd();
    m_followEnd = false;
}

void ConsolePane::scrollTranscriptToEnd()
{
    m_transcript->verticalScrollBar()->setValue(m_transcript->verticalScrollBar()->maximum());
    m_transcript->horizontalScrollBar()->setValue(0);
}

void ConsolePane::runningChanged(bool running)
{
    m_followEnd = running;
    m_sendButton->setEnabled(!running);
    m_runScriptButton->setEnabled(!running);
    m_stopButton->setEnabled(running);
    if (!running) {
        // The script's copy goes however the run ended: done, failed or stopped.
        removePushedScript();
        scrollTranscriptToEnd();
    }
}

bool ConsolePane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Ctrl+C stops a running command as in a terminal; in the transcript a selection is copied first.
    if (isInterrupt(key) && m_console->isRunning() &&
        (watched != m_transcript || !m_transcript->textCursor().hasSelection())) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        stopCommand();
        return true;
    }
    if (watched == m_transcript || event->type() != QEvent::KeyPress || (key->modifiers() & Qt::AltModifier))
        return QWidget::eventFilter(watched, event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
        loadHistory();
        CommandHistory &history = m_console->history();
        const QString typed = m_commandBox->currentText();
        m_commandBox->setEditText(key->key() == Qt::Key_Up ? history.up(typed) : history.down(typed));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
