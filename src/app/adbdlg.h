#pragma once

#include <QDialog>

// Shown when adb cannot be started: where to get it, and a way to point the program at it.
class TADBForm final : public QDialog {
    Q_OBJECT
public:
    explicit TADBForm(QWidget *parent = nullptr);

private:
    void SetPathClick();
};
