#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class AdbClient;
struct AppStorage;

// The lines of the diagnostics file: version, probe answers, storage mode, and what the phone's
// ls prints in the places where its variants differ.
QStringList buildDiagnostics(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseStorage);

// Writes lines to a file, replacing it; lines end in CR LF like every text file the program keeps.
bool saveLines(const QString &fileName, const QStringList &lines);

// Start-up's step markers: each save replaces the file, so a start-up that hangs leaves its last
// completed step behind. Does nothing when not enabled.
class StepLog {
public:
    StepLog(bool enabled, QString fileName);
    void mark(const QString &step);
    void save();

private:
    bool m_enabled;
    QString m_fileName;
    QStringList m_lines;
};
