#pragma once

#include <QDialog>

// The keys of the file panes, one row each; it stays open beside the window while the user tries them.
class KeyboardHelpDialog final : public QDialog {
    Q_OBJECT
public:
    explicit KeyboardHelpDialog(QWidget *parent = nullptr);
};
