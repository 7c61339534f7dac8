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

TSQLSettingsForm::TSQLSettingsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SQLSettingsForm"));
    setWindowTitle(QStringLiteral("SQLite Browser - Settings"));
    QPushButton *download = namedButton(this, "Button1", QStringLiteral("Download SQLite Database Browser"));
    QPushButton *browse = namedButton(this, "btnBrowse", QStringLiteral("Browse"));
    SQLPath = buildForm(this,
                        {QStringLiteral("SQLite Database Browser is free tool to exploring \".db\" files on your "
                                        "computer."),
                         QStringLiteral("You can associate it with Velbrook to opening  db files from your phone."),
                         QStringLiteral("Select SQLite Database Browser program exe file:")},
                        download, "SQLPath", browse, namedButton(this, "Button2", QStringLiteral("OK")));
    SQLPath->setText(sqliteBrowserSuggestion(programSettings().SQLiteDatabaseBrowser));
    connect(download, &QPushButton::clicked, this, [] { prompter().openExternal(sqliteBrowserDownloadUrl()); });
    connect(browse, &QPushButton::clicked, this, &TSQLSettingsForm::btnBrowseClick);
    centreOnScreen(this);
}

void TSQLSettingsForm::btnBrowseClick()
{
    const QStringList files =
        prompter().chooseOpenFiles(this, QStringLiteral("Find SQLite"),
                                   platform::programFilter(QStringLiteral("SQLite program")), SQLPath->text());
    if (!files.isEmpty())
        SQLPath->setText(files.constFirst());
}

void TSQLSettingsForm::done(int result)
{
    // The close box saves as "OK" does.
    saveSQLiteDatabaseBrowser(SQLPath->text().trimmed());
    QDialog::done(result);
}

TSignApkSettingsForm::TSignApkSettingsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SignApkSettingsForm"));
    setWindowTitle(QStringLiteral("SignApk - Settings"));
    QPushButton *download = namedButton(this, "btnDownload", QStringLiteral("Download SignApk.jar"));
    QPushButton *browse = namedButton(this, "btnBrowse", QStringLiteral("Browse"));
    JarPath = buildForm(this,
                        {QStringLiteral("You need installed Java on your computer to using this tool!"),
                         QStringLiteral("SignApk.jar is comman line tool to signing zip/apk files."),
                         QStringLiteral("With Velbrook you can use it easier."),
                         QStringLiteral("Select SignApk.jar directory:")},
                        download, "JarPath", browse, namedButton(this, "Button3", QStringLiteral("OK")));
    JarPath->setText(programSettings().SignApk);
    connect(download, &QPushButton::clicked, this, [] { prompter().openExternal(signApkDownloadUrl()); });
    connect(browse, &QPushButton::clicked, this, &TSignApkSettingsForm::btnBrowseClick);
    centreOnScreen(this);
}

void TSignApkSettingsForm::btnBrowseClick()
{
    const QString folder = prompter().chooseDirectory(this, QStringLiteral("Select directory"), JarPath->text());
    if (!folder.isEmpty())
        JarPath->setText(folder);
}

void TSignApkSettingsForm::done(int result)
{
    saveSignApk(JarPath->text());
    QDialog::done(result);
}
