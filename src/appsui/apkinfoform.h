#pragma once

#include "apps/badging.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class AdbClient;

// What the information window's Install and Uninstall buttons do.
class PackageActions {
public:
    virtual ~PackageActions() = default;
    // Whether a phone is there; path mode starts the bridge on the first question.
    virtual bool devicePresent() = 0;
    // Called once the window has hidden itself.
    virtual void install(const QString &apk) = 0;
    virtual void uninstall(const QString &package) = 0;
};

// Opens the window modally for a package file (.apk or .apks). `onDevice`: a phone path, pulled into
// the temp folder first ("The program could not pull the APK file." and no window when that fails).
// `installed`: Uninstall enabled and Install disabled, else the opposite.
int showApkInfo(QWidget *parent, AdbClient &adb, const QString &path, bool onDevice, bool installed,
                PackageActions &actions);

// What the window shows of one package file.
struct ApkFileInfo {
    ApkBadging badging;
    QStringList permissions;
    QString iconFile; // empty: the generic application image
    QString fileName;
    qint64 fileSize = 0;
    QString apkFile; // the local file Install hands on: for a bundle the bundle itself
};

// "Application Info": label, version, icon, file, permissions; market searches by package name,
// install and uninstall through the package actions.
class ApkInfoDialog final : public QDialog {
    Q_OBJECT
public:
    ApkInfoDialog(const ApkFileInfo &info, bool installed, PackageActions &actions, QWidget *parent = nullptr);

private:
    void install();
    void uninstall();

    ApkFileInfo m_info;
    PackageActions &m_actions;
    QLabel *m_noDeviceLabel = nullptr;
};
