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

ConsolePane::ConsolePane(TADB &adb, OperationLog &log, QWidget *parent, std::unique_ptr<ProgramRun> runner)
    : QWidget(parent), m_adb(adb), m_log(log), m_console(new ShellConsole(std::move(runner), this))
{
    auto *layout = new QVBoxLayout(this);
    Konsola = new QPlainTextEdit(this);
    Konsola->setObjectName(QStringLiteral("Konsola"));
    Konsola->setReadOnly(true);
    Konsola->setLineWrapMode(QPlainTextEdit::NoWrap);
    Konsola->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Konsola->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Konsola->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: white; }"));
    Konsola->setFont(consoleFont());
    // The widget keeps fewer lines than a command that never ends can print.
    Konsola->setMaximumBlockCount(200000);
    Konsola->setPlainText(m_console->transcript());

    auto *row = new QHBoxLayout;
    Komenda = new QComboBox(this);
    Komenda->setObjectName(QStringLiteral("Komenda"));
    Komenda->setEditable(true);
    Komenda->setInsertPolicy(QComboBox::NoInsert);
    // Completing from the history would change what the user types under his fingers.
    Komenda->setCompleter(nullptr);
    Komenda->setFont(consoleFont());
    Komenda->lineEdit()->setPlaceholderText(kHint);
    Komenda->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    btnSend = new QPushButton(QStringLiteral("Send"), this);
    btnSend->setObjectName(QStringLiteral("btnSend"));
    btnStop = new QPushButton(QStringLiteral("Stop"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setEnabled(false);
    btnRunSh = new QPushButton(QStringLiteral("Run SH Script"), this);
    btnRunSh->setObjectName(QStringLiteral("btnRunSh"));
    row->addWidget(Komenda, 1);
    row->addWidget(btnSend);
    row->addWidget(btnStop);
    row->addWidget(btnRunSh);
    layout->addWidget(Konsola, 1);
    layout->addLayout(row);

    for (QObject *watched : {static_cast<QObject *>(Komenda), static_cast<QObject *>(Komenda->lineEdit()),
                             static_cast<QObject *>(Konsola)})
        watched->installEventFilter(this);
    connect(Komenda->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePane::SendCommand);
    connect(btnSend, &QPushButton::clicked, this, &ConsolePane::SendCommand);
    connect(btnStop, &QPushButton::clicked, this, &ConsolePane::StopCommand);
    connect(btnRunSh, &QPushButton::clicked, this, &ConsolePane::RunShScript);
    connect(m_console, &ShellConsole::appended, this, &ConsolePane::showAppended);
    connect(m_console, &ShellConsole::runningChanged, this, &ConsolePane::runningChanged);
}

void ConsolePane::loadHistory()
{
    if (!m_console->history().file().isEmpty() || appState().DataDir.isEmpty())
        return;
    const QStringList typedHere = m_console->history().entries();
    m_console->history().load(QDir(appState().DataDir).filePath(QLatin1String(kHistoryFile)));
    for (const QString &command : typedHere)
        m_console->history().add(command);
    fillHistoryList();
}

void ConsolePane::fillHistoryList()
{
    const QString typed = Komenda->currentText();
    Komenda->clear();
    Komenda->addItems(m_console->history().entries());
    Komenda->setCurrentIndex(-1);
    Komenda->setEditText(typed);
}

void ConsolePane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    loadHistory();
}

void ConsolePane::SendCommand()
{
    loadHistory();
    const QString command = Komenda->currentText();
    if (!m_console->send(command))
        return;
    fillHistoryList();
    Komenda->setEditText(QString());
    Komenda->setFocus();
}

void ConsolePane::StopCommand()
{
    m_console->stop();
}

void ConsolePane::RunShScript()
{
    if (m_console->isRunning())
        return;
    const QStringList files = prompter().chooseOpenFiles(this, QStringLiteral("Run SH Script"),
                                                         QStringLiteral("SH Script (*.sh)"), QString());
    if (files.isEmpty())
        return;
    const QString local = files.first();
    m_log.BeginOperation();
    m_log.LogLine(QStringLiteral("Pushing script: ") + QDir::toNativeSeparators(local));
    m_log.LogLine(QStringLiteral(" "));
    // Running after a failed push would run an older script of the same name, or nothing.
    const PushedScript pushed = pushScript(m_adb, local, appState().ShortListing);
    // Also when a later folder took it: why the first did not is worth knowing.
    for (const QString &problem : pushed.problems)
        m_log.LogLine(problem);
    if (pushed.path.isEmpty()) {
        m_log.LogLine(QStringLiteral("Failed"));
        m_log.EndOperation();
        return;
    }
    m_log.LogLine(QStringLiteral("Starting operation..."));
    m_log.LogLine(QStringLiteral(" "));
    m_log.EndOperation();
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
    m_adb.Shell(QStringLiteral("rm ") + quoteDevicePath(path), false);
}

void ConsolePane::showAppended(const QString &text)
{
    QScrollBar *bar = Konsola->verticalScrollBar();
    const bool atEnd = m_followEnd || bar->value() == bar->maximum();
    QTextCursor cursor(Konsola->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    // While output arrives the view follows it, unless the user scrolled up to read.
    if (atEnd)
        ScrollTranscriptToEnd();
    m_followEnd = false;
}

void ConsolePane::ScrollTranscriptToEnd()
{
    Konsola->verticalScrollBar()->setValue(Konsola->verticalScrollBar()->maximum());
    Konsola->horizontalScrollBar()->setValue(0);
}

void ConsolePane::runningChanged(bool running)
{
    m_followEnd = running;
    btnSend->setEnabled(!running);
    btnRunSh->setEnabled(!running);
    btnStop->setEnabled(running);
    if (!running) {
        // The script's copy goes however the run ended: done, failed or stopped.
        removePushedScript();
        ScrollTranscriptToEnd();
    }
}

bool ConsolePane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Ctrl+C stops a running command as in a terminal; in the transcript a selection is copied first.
    if (isInterrupt(key) && m_console->isRunning() && (watched != Konsola || !Konsola->textCursor().hasSelection())) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        StopCommand();
        return true;
    }
    if (watched == Konsola || event->type() != QEvent::KeyPress || (key->modifiers() & Qt::AltModifier))
        return QWidget::eventFilter(watched, event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
        loadHistory();
        CommandHistory &history = m_console->history();
        const QString typed = Komenda->currentText();
        Komenda->setEditText(key->key() == Qt::Key_Up ? history.up(typed) : history.down(typed));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
