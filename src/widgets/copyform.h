#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Confirms a copy; the destination can be changed after ticking "Custom destination".
class CopyDialog final : public QDialog {
    Q_OBJECT
public:
    CopyDialog(const QString &source, const QString &destination, QWidget *parent = nullptr);
    QString destination() const;

private:
    QLineEdit *m_sourceEdit;
    QLineEdit *m_targetEdit;
    QCheckBox *m_customBox;
};
