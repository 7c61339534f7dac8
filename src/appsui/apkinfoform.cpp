#include "appsui/apkinfoform.h"

#include "apps/apkfile.h"
#include "appsui/approwdelegate.h"
#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "lists/imagescale.h"
#include "lists/listitem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
const QSize kIconSize(48, 48);

QUrl marketUrl(const char *prefix, const QString &package)
{
    return QUrl::fromEncoded(QByteArray(prefix) + QUrl::toPercentEncoding(package), QUrl::StrictMode);
}

QPushButton *marketButton(QWidget *parent, const QString &name, const QString &text, const QString &hint,
                          const QUrl &url, bool enabled)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setEnabled(enabled);
    // The window stays open: the user may look at more than one market.
    QObject::connect(button, &QPushButton::clicked, parent, [url] { prompter().openExternal(url); });
    return button;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *result = new QPushButton(text, parent);
    result->setObjectName(name);
    return result;
}

QLineEdit *field(QGroupBox *box, QGridLayout *grid, const QString &name, const QString &caption, const QString &text)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(caption, box), row, 0);
    auto *edit = new QLineEdit(text, box);
    edit->setObjectName(name);
    setReadOnlyLook(edit, true);
    edit->setCursorPosition(0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPixmap iconOf(const QString &file)
{
    const QImage image = file.isEmpty() ? QImage() : LoadRowIcon(file, kIconSize);
    if (!image.isNull())
        return QPixmap::fromImage(image);
    return AppRowDelegate::genericIcon().scaled(kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Caches the icon under the package's name, as the applications list looks it up; a cached icon is
// the one the list shows already and stays.
void cacheIcon(const QString &iconFile, const QString &package)
{
    if (iconFile.isEmpty() || package.isEmpty())
        return;
    const QString cached = appState().IconsDir + u'/' + package + QStringLiteral(".apk.png");
    if (QFileInfo::exists(cached))
        return;
    QDir().mkpath(appState().IconsDir);
    QFile::copy(iconFile, cached);
}

} // namespace

TApkInfoForm::TApkInfoForm(const ApkFileInfo &info, bool installed, ApkInfoHooks hooks, QWidget *parent)
    : QDialog(parent, kFixedDialog), m_info(info), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("ApkInfoForm"));
    setWindowTitle(QStringLiteral("Velbrook - Application Info"));
    const TApkBadging &badging = m_info.badging;
    const QString label = badging.Label.isEmpty() ? QStringLiteral("Unknown") : badging.Label;
    const bool known = !badging.Package.isEmpty();
    auto *layout = new QVBoxLayout(this);

    auto *header = new QHBoxLayout;
    auto *AppIcon = new QLabel(this);
    AppIcon->setObjectName(QStringLiteral("AppIcon"));
    AppIcon->setFixedSize(kIconSize);
    AppIcon->setPixmap(iconOf(m_info.iconFile));
    header->addWidget(AppIcon);
    auto *titles = new QVBoxLayout;
    auto *AppLabel = new QLabel(label, this);
    AppLabel->setObjectName(QStringLiteral("AppLabel"));
    QFont bold = AppLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    AppLabel->setFont(bold);
    auto *VerLabel = new QLabel(QStringLiteral("version ") + badging.VersionName, this);
    VerLabel->setObjectName(QStringLiteral("VerLabel"));
    titles->addWidget(AppLabel);
    titles->addWidget(VerLabel);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    auto *markets = new QHBoxLayout;
    const QString &package = badging.Package;
    markets->addWidget(marketButton(this, QStringLiteral("AndroLib"), QStringLiteral("AndroLib"),
                                    QStringLiteral("Search on AndroLib"),
                                    marketUrl("https://play.google.com/store/apps/details?id=", package), known));
    markets->addWidget(marketButton(
        this, QStringLiteral("AdvSmoothToggleButton1"), QStringLiteral("Cyrket"), QStringLiteral("Search on Cyrket"),
        marketUrl("https://www.apkmirror.com/?post_type=app_release&searchtype=apk&s=", package), known));
    markets->addWidget(marketButton(this, QStringLiteral("AdvSmoothToggleButton2"), QStringLiteral("AppBrain"),
                                    QStringLiteral("Search on AppBrain"),
                                    marketUrl("https://www.appbrain.com/app/", package), known));
    layout->addLayout(markets);

    auto *GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(GroupBox1);
    field(GroupBox1, grid, QStringLiteral("eName"), QStringLiteral("Name:"), label);
    field(GroupBox1, grid, QStringLiteral("eVersion"), QStringLiteral("Version:"), badging.VersionName);
    field(GroupBox1, grid, QStringLiteral("ePackage"), QStringLiteral("Package name:"), package);
    field(GroupBox1, grid, QStringLiteral("eFileName"), QStringLiteral("File name:"), m_info.fileName);
    field(GroupBox1, grid, QStringLiteral("eFileSize"), QStringLiteral("File size:"),
          FormatSizeKB(QString::number(m_info.fileSize / 1024)));
    grid->setColumnMinimumWidth(1, 280);
    layout->addWidget(GroupBox1);

    auto *permissionsHeader = new QHBoxLayout;
    auto *Label4 = new QLabel(QStringLiteral("Permissions:"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    noDevice = new QLabel(QStringLiteral("Device not detected"), this);
    noDevice->setObjectName(QStringLiteral("noDevice"));
    noDevice->setStyleSheet(QStringLiteral("color: red"));
    noDevice->hide();
    permissionsHeader->addWidget(Label4);
    permissionsHeader->addStretch();
    permissionsHeader->addWidget(noDevice);
    layout->addLayout(permissionsHeader);
    auto *mPermissions = new QPlainTextEdit(m_info.permissions.join(u'\n'), this);
    mPermissions->setObjectName(QStringLiteral("mPermissions"));
    mPermissions->setReadOnly(true);
    mPermissions->setLineWrapMode(QPlainTextEdit::NoWrap);
    mPermissions->setFixedHeight(140);
    layout->addWidget(mPermissions);

    auto *buttons = new QHBoxLayout;
    QPushButton *btnInstall = button(this, QStringLiteral("btnInstall"), QStringLiteral("Install"));
    QPushButton *btnUninstall = button(this, QStringLiteral("btnUninstall"), QStringLiteral("Uninstall"));
    QPushButton *btnOK = button(this, QStringLiteral("btnOK"), QStringLiteral("OK"));
    // A file aapt could not read is no package the phone would take.
    btnInstall->setEnabled(!installed && !info.badging.Package.isEmpty());
    btnUninstall->setEnabled(installed);
    buttons->addWidget(btnInstall);
    buttons->addWidget(btnUninstall);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    layout->addLayout(buttons);
    connect(btnInstall, &QPushButton::clicked, this, &TApkInfoForm::install);
    connect(btnUninstall, &QPushButton::clicked, this, &TApkInfoForm::uninstall);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    btnOK->setDefault(true);
    btnOK->setFocus();

    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

void TApkInfoForm::install()
{
    if (!m_hooks.devicePresent || !m_hooks.devicePresent()) {
        prompter().stop(this, QStringLiteral("Velbrook"), QStringLiteral("You must connect your device first!"));
        noDevice->show();
        return;
    }
    // The installer asks its own questions; this window would stand in their way.
    hide();
    if (m_hooks.install)
        m_hooks.install(m_info.apkFile);
    done(Accepted);
}

void TApkInfoForm::uninstall()
{
    hide();
    if (m_hooks.uninstall)
        m_hooks.uninstall(m_info.badging.Package);
    done(Accepted);
}

int ShowApkInfo(QWidget *parent, TADB &adb, const QString &path, bool onDevice, bool installed,
                const ApkInfoHooks &hooks)
{
    // The pulled copy, a bundle's base part and the extracted icon all live here and go with it.
    const QTemporaryDir work(QDir(temporaryFolder()).filePath(QStringLiteral("apkinfo-XXXXXX")));
    ApkFileInfo info;
    info.apkFile = path;
    info.fileName = QFileInfo(path).fileName();
    if (onDevice) {
        // Current phones call every package's APK base.apk: the copy gets a name of its own.
        const QString local =
            work.filePath(IsBundleFileName(path) ? QStringLiteral("pulled.apks") : QStringLiteral("pulled.apk"));
        if (!work.isValid() || !PulledWhole(adb.Pull(path, local), local)) {
            prompter().stop(parent, QStringLiteral("Velbrook"), QStringLiteral("Program could not pull APK file"));
            return QDialog::Rejected;
        }
        info.apkFile = local;
    }
    info.fileSize = QFileInfo(info.apkFile).size();
    if (work.isValid()) {
        const PackageFile package(info.apkFile, work.path());
        info.badging = package.badging(adb);
        info.permissions = package.permissions(adb);
        info.iconFile = package.extractIcon(info.badging, work.path());
    }
    cacheIcon(info.iconFile, info.badging.Package);
    TApkInfoForm form(info, installed, hooks, parent);
    return prompter().exec(form);
}
