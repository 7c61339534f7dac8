#pragma once

#include "transfers/operation.h"
#include "bridge/packageanswer.h"

// Logs what adb answered and the verdict under it ("Success", or "Failed: <reason>") and counts the row; false,
// logging "Cancelled", when the operation was cancelled meanwhile.
inline bool finishPackageRow(Operation &operation, const QString &output, const PackageAnswer &answer)
{
    if (operation.isCancelled())
        return operation.cancelled();
    operation.line(output);
    operation.line(answer.ok ? QStringLiteral("Success") : QStringLiteral("Failed: ") + answer.reason);
    operation.gap();
    operation.tally(answer.ok ? RowOutcome::Done : RowOutcome::Failed, answer.reason);
    return true;
}
