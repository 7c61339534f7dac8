#pragma once

#include <QString>

// The folder that holds adb, chosen by the user when adb was not found; empty when none was chosen.
QString readAdbDir(const QString &settingsFile);
bool writeAdbDir(const QString &settingsFile, const QString &folder);

// The applications-storage option (0..4) chosen for the phone with this serial; -1 when none was chosen.
int readAppStorageOption(const QString &settingsFile, const QString &serial);
bool writeAppStorageOption(const QString &settingsFile, const QString &serial, int option);
