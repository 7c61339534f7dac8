#include "bridge/devicelist.h"

#include <QRegularExpression>

namespace {

const QString kHeader = QStringLiteral("List of devices attached");
const QString kNoSerial = QStringLiteral("(no serial number)");

// The -l form ends in "key:value" items (usb:1-1 product:x model:y device:z transport_id:n).
bool isDetail(const QString &token)
{
    static const QRegularExpression detail(QStringLiteral("^[a-z_]+:\\S*$"));
    return detail.match(token).hasMatch();
}

AdbDevice parseDeviceLine(const QString &line)
{
    AdbDevice device;
    QString rest;
    const qsizetype tab = line.indexOf(u'\t');
    if (tab >= 0) {
        device.serial = line.left(tab).trimmed();
        rest = line.mid(tab + 1);
    } else if (line.startsWith(kNoSerial)) {
        device.serial = kNoSerial;
        rest = line.mid(kNoSerial.size());
    } else {
        const qsizetype blank = line.indexOf(u' ');
        device.serial = blank < 0 ? line : line.left(blank);
        rest = blank < 0 ? QString() : line.mid(blank + 1);
    }
    // The state itself may hold blanks ("no permissions (...); see [...]"): take the details off its end.
    QStringList tokens = rest.split(u' ', Qt::SkipEmptyParts);
    while (!tokens.isEmpty() && isDetail(tokens.last())) {
        const QString token = tokens.takeLast();
        if (token.startsWith(QStringLiteral("model:")))
            device.model = token.mid(6);
    }
    device.stateText = tokens.join(u' ');
    device.state = parseDeviceState(device.stateText);
    return device;
}

} // namespace

DeviceState parseDeviceState(const QString &text)
{
    static const struct {
        const char *name;
        DeviceState state;
    } names[] = {{"device", DeviceState::Device},
                 {"offline", DeviceState::Offline},
                 {"unauthorized", DeviceState::Unauthorized},
                 {"recovery", DeviceState::Recovery},
                 {"bootloader", DeviceState::Bootloader},
                 {"sideload", DeviceState::Sideload}};
    for (const auto &entry : names) {
        if (text == QLatin1String(entry.name))
            return entry.state;
    }
    if (text.startsWith(QStringLiteral("no permissions")))
        return DeviceState::NoPermissions;
    return DeviceState::Other;
}

QList<AdbDevice> parseDeviceList(const QString &output)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QList<AdbDevice> devices;
    // Before the header stand only the messages of a starting or restarting server, merged from stderr.
    bool listing = false;
    const QStringList lines = output.split(lineEnd);
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line == kHeader) {
            listing = true;
            continue;
        }
        if (!listing || line.isEmpty() || line.startsWith(QStringLiteral("* ")))
            continue;
        devices << parseDeviceLine(line);
    }
    return devices;
}
