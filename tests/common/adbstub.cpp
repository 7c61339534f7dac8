#include "common/adbstub.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

AdbStub::AdbStub() : m_oldPath(qgetenv("PATH"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
    QDir(m_dir.path()).mkpath(QStringLiteral("shell"));
    const QByteArray dir = m_dir.path().toUtf8();
    const QByteArray script =
        "#!/bin/sh\n"
        "PATH=/usr/bin:/bin\n"
        "d='" +
        dir +
        "'\n"
        "printf '%s\\n' \"$*\" >> \"$d/calls.log\"\n"
        "printf '%s\\t%s\\n' \"${ANDROID_SERIAL-}\" \"$*\" >> \"$d/serials.log\"\n"
        "case \"$1\" in\n"
        "  '') echo 'Android Debug Bridge version 1.0.41'; exit 1 ;;\n"
        "  devices) if [ \"$2\" = -l ]; then cat \"$d/devices-l\"; else cat \"$d/devices\"; fi 2>/dev/null ;;\n"
        "  get-state) cat \"$d/state\" 2>/dev/null ;;\n"
        "  connect) [ -e \"$d/connect.sh\" ] && . \"$d/connect.sh\" ;;\n"
        "  shell) shift; key=$(printf '%s' \"$*\" | md5sum | cut -c1-32)\n"
        "         [ -e \"$d/shell/$key\" ] && cat \"$d/shell/$key\" ;;\n"
        "esac\n"
        "exit 0\n";
    write(QStringLiteral("bin/adb"), script);
    QFile::setPermissions(m_dir.filePath(QStringLiteral("bin/adb")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", binDir().toUtf8());
    setDevicePresent(true);
    write(QStringLiteral("state"), "device\n");
}

AdbStub::~AdbStub()
{
    qputenv("PATH", m_oldPath);
}

void AdbStub::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

void AdbStub::setDevicePresent(bool present, const QString &serial)
{
    if (present)
        setDevices({{serial, QStringLiteral("device")}});
    else
        setDevices({});
}

void AdbStub::setDevices(const QList<std::pair<QString, QString>> &devices)
{
    // What adb 29 prints: a tab in the plain form, the serial padded to 22 columns in the -l form.
    QByteArray plain = "List of devices attached\n";
    QByteArray details = plain;
    int id = 0;
    for (const auto &[serial, state] : devices) {
        plain += serial.toUtf8() + '\t' + state.toUtf8() + '\n';
        details += serial.leftJustified(22).toUtf8() + ' ' + state.toUtf8();
        if (state == QStringLiteral("device"))
            details += " product:sdk_phone model:Pixel_6 device:oriole";
        details += " transport_id:" + QByteArray::number(++id) + '\n';
    }
    write(QStringLiteral("devices"), plain + '\n');
    write(QStringLiteral("devices-l"), details + '\n');
}

QString AdbStub::shellFile(const QString &command) const
{
    const QByteArray key = QCryptographicHash::hash(command.toUtf8(), QCryptographicHash::Md5).toHex();
    return QStringLiteral("shell/") + QString::fromLatin1(key);
}

void AdbStub::setShell(const QString &command, const QString &output)
{
    QFile::remove(m_dir.filePath(shellFile(command)));
    write(shellFile(command), output.toUtf8());
}

void AdbStub::setShellHanging(const QString &command)
{
    // Reading a pipe that nobody writes blocks for ever.
    QFile::remove(m_dir.filePath(shellFile(command)));
    QProcess::execute(QStringLiteral("/usr/bin/mkfifo"), {m_dir.filePath(shellFile(command))});
}

void AdbStub::release(const QString &command, const QString &output)
{
    QFile pipe(m_dir.filePath(shellFile(command)));
    if (pipe.open(QIODevice::WriteOnly))
        pipe.write(output.toUtf8());
}

void AdbStub::setListing(const QString &path, const QString &lsOutput, const QString &options)
{
    setShell(QStringLiteral("ls ") + options + QStringLiteral(" \"") + path +
                 QStringLiteral("\" 2>&1; echo \"[velbrook-end:$?]\""),
             lsOutput + QStringLiteral("[velbrook-end:0]\r\n"));
}

void AdbStub::setPhone(bool root, bool busybox)
{
    setShell(QStringLiteral("ls  \"/data\""),
             root ? QStringLiteral("app\r\napp-private\r\n") : QStringLiteral("opendir failed, Permission denied\r\n"));
    setShell(QStringLiteral("busybox"), busybox ? QStringLiteral("BusyBox v1.17.2 multi-call binary\r\n")
                                                : QStringLiteral("busybox: not found\r\n"));
    setShell(QStringLiteral("ls --color=never"), QStringLiteral("ls: Unknown option '--'. Aborting.\r\n"));
    setShell(QStringLiteral("ls -e"), QStringLiteral("ls: Unknown option '-e'. Aborting.\r\n"));
    // A marker chosen earlier: detect automatically, and the root holds only /mnt.
    setShell(QStringLiteral("ls -a \"/sdcard/\" | cat"), QStringLiteral(".\r\n..\r\n.velbrook\r\n"));
    setShell(QStringLiteral("cat /sdcard/.velbrook"), QStringLiteral("0\r\n"));
    setShell(QStringLiteral("ls -a \"/\" | cat"), QStringLiteral(".\r\n..\r\nmnt\r\n"));
    setShell(QStringLiteral("readlink /"), QStringLiteral("readlink: not found\r\n"));
    setListing(QStringLiteral("/"), QStringLiteral("drwxrwxr-x root system 2010-01-01 00:00 mnt\r\n"));
    // An old phone's application folder holds the APK files themselves.
    setListing(QStringLiteral("/data/app/"), QStringLiteral("com.example.app-1.apk\r\n"), QString());
}

QStringList AdbStub::logLines(const QString &name) const
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    lines.removeLast(); // after the last line break
    return lines;
}
