#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Confirms a copy; the destination can be changed after ticking "Custom destination".
class TCopyForm final : public QDialog {
    Q_OBJECT
public:
    TCopyForm(const QString &source, const QString &destination, QWidget *parent = nullptr);
    QString destination() const;

private:
    QLineEdit *edtSource;
    QLineEdit *edtDestination;
    QCheckBox *Custom;
};
