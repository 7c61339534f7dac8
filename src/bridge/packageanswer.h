#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How the phone's package manager answered an install, an install of several parts or an uninstall.
struct PackageAnswer {
    bool ok = false;
    // The package manager's own "Failure [CODE: detail]" text; empty when it gave none.
    QString failure;
    // A few plain words for the operation's summary ("a newer version is installed"); empty when ok.
    QString reason;
};

// Judges what adb printed (merged output) and how it ended. Only two facts count: the exit status, and the last
// line that is exactly "Success" or starts with "Failure". adb's own failure line quotes the file
// ("adb: failed to install <path>: Failure [...]"), so no other line and no word inside a line is read as a
// verdict; `paths` (the files handed to adb) only help to take the failure text out of that line.
// An unknown exit status (a runner that cannot tell) leaves the verdict to the last line alone.
PackageAnswer judgePackageAnswer(const QString &output, std::optional<int> exitStatus,
                                 const QStringList &paths = {});

// "Failure [INSTALL_FAILED_VERSION_DOWNGRADE: ...]" in plain words; the code itself stays in the log.
QString plainFailureReason(const QString &failure);

