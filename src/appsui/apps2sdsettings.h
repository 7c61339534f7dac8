#pragma once

#include <QDialog>

class QButtonGroup;
class QPushButton;

// Lets the user say where the phone keeps its applications when detection may guess wrong.
class Apps2SdDialog final : public QDialog {
    Q_OBJECT
public:
    explicit Apps2SdDialog(QWidget *parent = nullptr);

    int selectedOption() const;
    void setCancelVisible(bool visible);

private:
    QButtonGroup *m_storageKind;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
};
