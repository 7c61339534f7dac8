#pragma once

#include <QString>

namespace desktop {

// Registers the program with the desktop shell: it opens APK files, and folders offer
// "Show Android Applications" (the program started with the folder and "-d").
// False with a readable reason when something could not be written.
bool associateWithShell(const QString &executable, QString *error);

} // namespace desktop
