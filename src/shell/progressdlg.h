#pragma once

#include <QDialog>

// The operation-log window: lives for the whole run, shown while a long operation works.
class TLogForm final : public QDialog {
    Q_OBJECT
public:
    explicit TLogForm(QWidget *parent = nullptr);
};
