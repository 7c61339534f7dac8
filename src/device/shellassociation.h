#pragma once

#include <QString>

namespace desktop {

// Registers the program with the desktop shell as the program that opens APK files and bundles (.apks).
// With `folders`, folders also offer "Show Android Applications" (the program started with the folder and
// "-d"); without, an entry for folders left by an earlier association is taken away.
// False with a readable reason when something could not be written.
bool associateWithShell(const QString &executable, bool folders, QString *error);

} // namespace desktop
