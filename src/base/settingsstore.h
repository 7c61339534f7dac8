#pragma once

#include <QString>

// The folder that holds adb, chosen by the user when adb was not found; empty when none was chosen.
QString readAdbDir(const QString &settingsFile);
bool writeAdbDir(const QString &settingsFile, const QString &folder);
