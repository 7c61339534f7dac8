#pragma once

#include <QString>

class QWidget;

// Starts the database browser on `file` without waiting for it. It is no child of the window, so it outlives
// the program, and it writes into a file rather than a pipe that would close when the program quits. A
// browser that ends in failure (it could not open the file, say) is reported with its exit code.
void startDatabaseBrowser(QWidget *window, const QString &program, const QString &file);
