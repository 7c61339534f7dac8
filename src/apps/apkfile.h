#pragma once

#include "apps/badging.h"

#include <QString>
#include <QStringList>

class AdbClient;

// A package file on the PC: an APK, or a bundle (".apks", a ZIP of a base APK and its split APKs,
// as the backups write it and as other Android tools write it), read through its base part.

bool isBundleFileName(const QString &name);
// A package file name the installer and the information window take: ".apk" or ".apks", exactly.
bool isPackageFileName(const QString &name);

// The APK members of a bundle, base first ("base.apk", else the first member without "split"
// in its name); empty when the file is not a readable bundle.
QStringList bundleParts(const QString &bundlePath);

// The permissions of "aapt dump permissions" as bare names, one a line, whatever form aapt prints
// ("uses-permission: name='x'" of current aapt, "uses-permission: x" of older ones, "permission: x").
QStringList permissionNames(const QString &aaptOutput);

// A package file ready for aapt: the file itself, or the base APK taken out of a bundle into a
// folder of its own that goes away with this object.
class PackageFile {
public:
    PackageFile(const QString &path, const QString &tempDir);
    ~PackageFile();
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;

    // The APK to read; empty when a bundle holds no base APK.
    const QString &apk() const { return m_apk; }
    bool isBundle() const { return m_bundle; }

    ApkBadging badging(AdbClient &adb) const;
    QStringList permissions(AdbClient &adb) const;
    // Extracts the icon member into `folder`; the written file, empty when there is none.
    QString extractIcon(const ApkBadging &badging, const QString &folder) const;

private:
    QString m_apk;
    QString m_work;
    bool m_bundle = false;
};

// What a path the program was started with names: a folder for the installer, a package file aapt can read for
// the information window, or neither, with why in plain words.
struct StartPath {
    enum Kind { Folder, Package, Problem };
    Kind kind = Problem;
    QString path;    // a folder ends in "/"
    QString problem; // "<path> does not exist", ...
};
// A folder named without its final "/" is still a folder: the installer opens for it.
StartPath checkStartPath(AdbClient &adb, const QString &path, const QString &tempDir);
