#include "device/diagnostics.h"

#include "apps/appstorage.h"
#include "bridge/adbutils.h"
#include "base/appstate.h"

#include <QFile>
#include <QSaveFile>

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QStringList buildDiagnostics(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseStorage)
{
    QStringList lines;
    lines << QStringLiteral("ver: ") + QLatin1String(kProductVersion);
    lines << QStringLiteral("root: ") + yesNo(adb.hasRoot());
    lines << QStringLiteral("bb: ") + yesNo(adb.detectBusybox());
    lines << QStringLiteral("ssv: ") + yesNo(!adb.detectLsOptions());
    configureAppsStorage(adb, storage, chooseStorage);
    lines << QStringLiteral("ast: ") + storageModeCode(storage.appStorageMode);
    lines << QString() << QString();

    const QString hash = QStringLiteral("####");
    struct Probe {
        const char *command;
        QStringList after;
    };
    const QStringList one{QString(), hash, QString()};
    const QStringList two{QString(), hash, hash, QString()};
    const Probe probes[] = {
        {"ls -l", one},
        {"ls -l -e", one},
        {"ls -l --color=never", two},
        {"ls -l sdcard/", one},
        {"ls -l -e sdcard/", one},
        {"ls -l --color=never sdcard/", two},
        {"ls -l data/app/", one},
        {"ls -l system/sd/app/", one},
        {"ls -l sd-ext/app/", two},
        {"ls mnt/asec/", one},
        {"ls -1 mnt/asec/", {}},
    };
    for (const Probe &probe : probes) {
        lines << adb.runShell(QLatin1String(probe.command), true);
        lines << probe.after;
    }
    return lines;
}

bool saveLines(const QString &fileName, const QStringList &lines)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &line : lines) {
        file.write(line.toUtf8());
        file.write("\r\n");
    }
    return file.commit();
}

StepLog::StepLog(bool enabled, QString fileName) : m_enabled(enabled), m_fileName(std::move(fileName))
{
    if (m_enabled)
        QFile::remove(m_fileName);
}

void StepLog::mark(const QString &step)
{
    if (m_enabled)
        m_lines << step;
}

void StepLog::save()
{
    if (m_enabled)
        saveLines(m_fileName, m_lines);
}
