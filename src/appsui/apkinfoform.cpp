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
    const QImage image = file.isEmpty() ? QImage() : loadRowIcon(file, kIconSize);
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
    const QString cached = appState().iconsDir + u'/' + package + QStringLiteral(".apk.png");
    if (QFileInfo::exists(cached))
        return;
    QDir().mkpath(appState().iconsDir);
    QFile::copy(iconFile, cached);
}

} // namespace

ApkInfoDialog::ApkInfoDialog(const ApkFileInfo &info, bool installed, PackageActions &actions, QWidget *parent)
    : QDialog(parent, kFixedDialog), m_info(info), m_actions(actions)
{
    setObjectName(QStringLiteral("ApkInfoForm"));
    setWindowTitle(QStringLiteral("Velbrook - Application Info"));
    const ApkBadging &badging = m_info.badging;
    const QString label = badging.label.isEmpty() ? QStringLiteral("Unknown") : badging.label;
    const bool known = !badging.package.isEmpty();
    auto *layout = new QVBoxLayout(this);

    auto *header = new QHBoxLayout;
    auto *appIcon = new QLabel(this);
    appIcon->setObjectName(QStringLiteral("AppIcon"));
    appIcon->setFixedSize(kIconSize);
    appIcon->setPixmap(iconOf(m_info.iconFile));
    header->addWidget(appIcon);
    auto *titles = new QVBoxLayout;
    auto *appLabel = new QLabel(label, this);
    appLabel->setObjectName(QStringLiteral("AppLabel"));
    QFont bold = appLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    appLabel->setFont(bold);
    auto *VerLabel = new QLabel(QStringLiteral("version ") + badging.versionName, this);
    VerLabel->setObjectName(QStringLiteral("VerLabel"));
    titles->addWidget(appLabel);
    titles->addWidget(VerLabel);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    auto *markets = new QHBoxLayout;
    const QString &package = badging.package;
    markets->addWidget(marketButton(this, QStringLiteral("AndroLib"), QStringLiteral("AndroLib"),
                                    QStringLiteral("Search on AndroLib"),
                                    marketUrl("https://play.google.com/store/apps/details?id=", package), known));
    markets->addWidget(
        marketButton(this, QStringLiteral("cyrketButton"), QStringLiteral("Cyrket"), QStringLiteral("Search on Cyrket"),
                     marketUrl("https://www.apkmirror.com/?post_type=app_release&searchtype=apk&s=", package), known));
    markets->addWidget(marketButton(this, QStringLiteral("appBrainButton"), QStringLiteral("AppBrain"),
                                    QStringLiteral("Search on AppBrain"),
                                    marketUrl("https://www.appbrain.com/app/", package), known));
    layout->addLayout(markets);

    auto *detailsBox = new QGroupBox(this);
    detailsBox->setObjectName(QStringLiteral("detailsBox"));
    auto *grid = new QGridLayout(detailsBox);
    field(detailsBox, grid, QStringLiteral("eName"), QStringLiteral("Name:"), label);
    field(detailsBox, grid, QStringLiteral("eVersion"), QStringLiteral("Version:"), badging.versionName);
    field(detailsBox, grid, QStringLiteral("ePackage"), QStringLiteral("Package name:"), package);
    field(detailsBox, grid, QStringLiteral("eFileName"), QStringLiteral("File name:"), m_info.fileName);
    field(detailsBox, grid, QStringLiteral("eFileSize"), QStringLiteral("File size:"),
          formatSize(QString::number(m_info.fileSize)));
    grid->setColumnMinimumWidth(1, 280);
    layout->addWidget(detailsBox);

    auto *permissionsHeader = new QHBoxLayout;
    auto *permissionsLabel = new QLabel(QStringLiteral("Permissions:"), this);
    permissionsLabel->setObjectName(QStringLiteral("permissionsLabel"));
    m_noDeviceLabel = new QLabel(QStringLiteral("Device not detected"), this);
    m_noDeviceLabel->setObjectName(QStringLiteral("noDevice"));
    m_noDeviceLabel->setStyleSheet(QStringLiteral("color: red"));
    m_noDeviceLabel->hide();
    permissionsHeader->addWidget(permissionsLabel);
    permissionsHeader->addStretch();
    permissionsHeader->addWidget(m_noDeviceLabel);
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
    btnInstall->setEnabled(!installed && !info.badging.package.isEmpty());
    btnUninstall->setEnabled(installed);
    buttons->addWidget(btnInstall);
    buttons->addWidget(btnUninstall);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    layout->addLayout(buttons);
    connect(btnInstall, &QPushButton::clicked, this, &ApkInfoDialog::install);
    connect(btnUninstall, &QPushButton::clicked, this, &ApkInfoDialog::uninstall);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    btnOK->setDefault(true);
    btnOK->setFocus();

    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

void ApkInfoDialog::install()
{
    if (!m_actions.devicePresent()) {
        prompter().stop(this, QStringLiteral("Velbrook"), QStringLiteral("Connect a device first."));
        m_noDeviceLabel->show();
        return;
    }
    // The installer asks its own questions; this window would stand in their way.
    hide();
    m_actions.install(m_info.apkFile);
    done(Accepted);
}

void ApkInfoDialog::uninstall()
{
    hide();
    m_actions.uninstall(m_info.badging.package);
    done(Accepted);
}

int showApkInfo(QWidget *parent, AdbClient &adb, const QString &path, bool onDevice, bool installed,
                PackageActions &actions)
{
    // The pulled copy, a bundle's base part and the extracted icon all live here and go with it.
    const QTemporaryDir work(QDir(temporaryFolder()).filePath(QStringLiteral("apkinfo-XXXXXX")));
    ApkFileInfo info;
    info.apkFile = path;
    info.fileName = QFileInfo(path).fileName();
    if (onDevice) {
        // Current phones call every package's APK base.apk: the copy gets a name of its own.
        const QString local =
            work.filePath(isBundleFileName(path) ? QStringLiteral("pulled.apks") : QStringLiteral("pulled.apk"));
        if (!work.isValid() || !pulledWhole(adb.pullFile(path, local), local)) {
            prompter().stop(parent, QStringLiteral("Velbrook"), QStringLiteral("The program could not pull the APK file."));
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
    cacheIcon(info.iconFile, info.badging.package);
    ApkInfoDialog form(info, installed, actions, parent);
    return prompter().exec(form);
}
