#pragma once

#include "transfers/operation.h"

#include <QString>

// The main window's panes as the destination of a backup.
class BackupPanes {
public:
    virtual ~BackupPanes() = default;
    // Phone when the left side shows the second phone pane, else Pc.
    virtual Location leftSide() const = 0;
    // The left phone pane's folder, or the PC pane's (ending in "/").
    virtual QString folder(Location side) const = 0;
};
