#include "deviceui/toolsettingsdlg.h"

#include "widgets/dialogutil.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "device/externaltools.h"
#include "platform/platform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The common frame: the texts, a download button, the path with "Browse", and "OK".
QLineEdit *buildForm(QDialog *dialog, const QStringList &texts, QPushButton *download, const char *editName,
                     QPushButton *browse, QPushButton *ok)
{
    auto *layout = new QVBoxLayout(dialog);
    for (qsizetype i = 0; i + 1 < texts.size(); ++i)
        layout->addWidget(new QLabel(texts.at(i), dialog));
    layout->addWidget(download);
    layout->addWidget(new QLabel(texts.constLast(), dialog));
    auto *row = new QHBoxLayout;
    auto *edit = new QLineEdit(dialog);
    edit->setObjectName(QLatin1String(editName));
    row->addWidget(edit, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addWidget(ok, 0, Qt::AlignRight);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return edit;
}

} // namespace

SqliteBrowserSettingsDialog::SqliteBrowserSettingsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SQLSettingsForm"));
    setWindowTitle(QStringLiteral("SQLite Browser - Settings"));
    QPushButton *download = namedButton(this, "downloadButton", QStringLiteral("Download SQLite Database Browser"));
    QPushButton *browse = namedButton(this, "btnBrowse", QStringLiteral("Browse"));
    m_browserPath =
        buildForm(this,
                  {QStringLiteral("SQLite Database Browser is a free tool for exploring \".db\" files on your "
                                  "computer."),
                   QStringLiteral("Velbrook can open the phone's .db files with it."),
                   QStringLiteral("Select the SQLite Database Browser program:")},
                  download, "SQLPath", browse, namedButton(this, "okButton", QStringLiteral("OK")));
    m_browserPath->setText(sqliteBrowserSuggestion(programSettings().SQLiteDatabaseBrowser));
    connect(download, &QPushButton::clicked, this, [] { prompter().openExternal(sqliteBrowserDownloadUrl()); });
    connect(browse, &QPushButton::clicked, this, &SqliteBrowserSettingsDialog::btnBrowseClick);
    centreOnScreen(this);
}

void SqliteBrowserSettingsDialog::btnBrowseClick()
{
    const QStringList files =
        prompter().chooseOpenFiles(this, QStringLiteral("Find SQLite"),
                                   platform::programFilter(QStringLiteral("SQLite program")), m_browserPath->text());
    if (!files.isEmpty())
        m_browserPath->setText(files.constFirst());
}

void SqliteBrowserSettingsDialog::done(int result)
{
    // The close box saves as "OK" does.
    saveSQLiteDatabaseBrowser(m_browserPath->text().trimmed());
    QDialog::done(result);
}

SignApkSettingsDialog::SignApkSettingsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SignApkSettingsForm"));
    setWindowTitle(QStringLiteral("SignApk - Settings"));
    QPushButton *download = namedButton(this, "btnDownload", QStringLiteral("Download SignApk.jar"));
    QPushButton *browse = namedButton(this, "btnBrowse", QStringLiteral("Browse"));
    m_signApkFolder = buildForm(this,
                                {QStringLiteral("This tool needs Java installed on your computer."),
                                 QStringLiteral("SignApk.jar is a command-line tool for signing ZIP and APK files."),
                                 QStringLiteral("Velbrook makes it easier to use."),
                                 QStringLiteral("Select the directory that holds SignApk.jar:")},
                                download, "JarPath", browse, namedButton(this, "okButton", QStringLiteral("OK")));
    m_signApkFolder->setText(programSettings().signApk);
    connect(download, &QPushButton::clicked, this, [] { prompter().openExternal(signApkDownloadUrl()); });
    connect(browse, &QPushButton::clicked, this, &SignApkSettingsDialog::btnBrowseClick);
    centreOnScreen(this);
}

void SignApkSettingsDialog::btnBrowseClick()
{
    const QString folder =
        prompter().chooseDirectory(this, QStringLiteral("Select directory"), m_signApkFolder->text());
    if (!folder.isEmpty())
        m_signApkFolder->setText(folder);
}

void SignApkSettingsDialog::done(int result)
{
    saveSignApk(m_signApkFolder->text());
    QDialog::done(result);
}
