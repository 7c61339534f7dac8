#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

// Builds a real APK with Debian's aapt against the platform's framework resources. Empty when
// the tools are not installed (the caller skips).
struct TestApk {
    QString package = QStringLiteral("com.example.app");
    QString label = QStringLiteral("Example");
    QString versionName = QStringLiteral("1.2");
    int versionCode = 3;
    int minSdk = 0;              // 0: no uses-sdk element
    QColor iconColour = Qt::red; // a 48x48 square at res/drawable/<iconName>.png
    QString iconName = QStringLiteral("icon");

    static QString frameworkRes() { return QStringLiteral("/usr/share/android-framework-res/framework-res.apk"); }
    static bool toolsPresent()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("aapt")).isEmpty() && QFileInfo::exists(frameworkRes());
    }

    // Writes the sources under workDir/<package>-src and the APK to apkPath.
    QString build(const QString &workDir, const QString &apkPath) const
    {
        if (!toolsPresent())
            return QString();
        const QString src = workDir + u'/' + package + QStringLiteral("-src");
        QDir().mkpath(src + QStringLiteral("/res/values"));
        QDir().mkpath(src + QStringLiteral("/res/drawable"));
        QString escaped = label.toHtmlEscaped();
        escaped.replace(u'\'', QStringLiteral("\\'"));
        write(src + QStringLiteral("/AndroidManifest.xml"),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\" "
                             "package=\"%1\" android:versionCode=\"%2\" android:versionName=\"%3\">\n"
                             "%4"
                             "  <uses-permission android:name=\"android.permission.INTERNET\"/>\n"
                             "  <application android:label=\"@string/app_name\" android:icon=\"@drawable/%5\"/>\n"
                             "</manifest>\n")
                  .arg(package, QString::number(versionCode), versionName,
                       minSdk > 0 ? QStringLiteral("  <uses-sdk android:minSdkVersion=\"%1\"/>\n").arg(minSdk)
                                  : QString(),
                       iconName));
        write(src + QStringLiteral("/res/values/strings.xml"),
              QStringLiteral("<resources><string name=\"app_name\">%1</string></resources>\n").arg(escaped));
        QImage icon(48, 48, QImage::Format_RGB32);
        icon.fill(iconColour);
        icon.save(src + QStringLiteral("/res/drawable/%1.png").arg(iconName));

        QProcess aapt;
        aapt.setProcessChannelMode(QProcess::MergedChannels);
        aapt.start(QStringLiteral("aapt"),
                   {QStringLiteral("package"), QStringLiteral("-f"), QStringLiteral("-M"),
                    src + QStringLiteral("/AndroidManifest.xml"), QStringLiteral("-S"), src + QStringLiteral("/res"),
                    QStringLiteral("-I"), frameworkRes(), QStringLiteral("-F"), apkPath});
        if (!aapt.waitForFinished(60000) || aapt.exitCode() != 0)
            return QString();
        return apkPath;
    }

private:
    static void write(const QString &fileName, const QString &text)
    {
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
};
