#pragma once

#include <QDialog>

// Shown when adb cannot be started: where to get it, and a way to point the program at it.
class AdbMissingDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AdbMissingDialog(QWidget *parent = nullptr);

private:
    void choosePath();
};
