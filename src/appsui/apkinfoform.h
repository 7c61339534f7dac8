#pragma once

#include "apps/badging.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QPushButton;
class TADB;

struct ApkInfoHooks {
    std::function<bool()> devicePresent;             // e.g. starts the server when needed, then asks adb
    std::function<void(const QString &apk)> install; // the window hides itself first
    std::function<void(const QString &package)> uninstall;
};

// Opens the window modally for a package file (.apk or .apks). `onDevice`: a phone path, pulled into
// the temp folder first ("Program could not pull APK file" and no window when that fails).
// `installed`: Uninstall enabled and Install disabled, else the opposite.
int ShowApkInfo(QWidget *parent, TADB &adb, const QString &path, bool onDevice, bool installed,
                const ApkInfoHooks &hooks);

// What the window shows of one package file.
struct ApkFileInfo {
    TApkBadging badging;
    QStringList permissions;
    QString iconFile; // empty: the generic application image
    QString fileName;
    qint64 fileSize = 0;
    QString apkFile; // the local file Install hands on: for a bundle the bundle itself
};

// "Application Info": label, version, icon, file, permissions; market searches by package name,
// install and uninstall through the hooks.
class TApkInfoForm final : public QDialog {
    Q_OBJECT
public:
    TApkInfoForm(const ApkFileInfo &info, bool installed, ApkInfoHooks hooks, QWidget *parent = nullptr);

private:
    void install();
    void uninstall();

    ApkFileInfo m_info;
    ApkInfoHooks m_hooks;
    QLabel *noDevice = nullptr;
};
