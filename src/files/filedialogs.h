#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;

// Where pushed files go: the SD card, one of the two panes' folders, or a folder the user types.
class PushTargetDialog final : public QDialog {
    Q_OBJECT
public:
    enum Option { SdCard = 0, LeftPanel = 1, RightPanel = 2, AnyDirectory = 3 };

    PushTargetDialog(const QString &leftDir, const QString &rightDir, Option preselected, QWidget *parent = nullptr);
    void selectOption(Option option);
    QString destination() const;

private:
    QString m_left;
    QString m_right;
    QButtonGroup *m_targets;
    QLineEdit *m_folderEdit;
};

// Asks for a name: renaming, and (with another caption) a new folder.
class RenameDialog final : public QDialog {
    Q_OBJECT
public:
    RenameDialog(const QString &caption, const QString &name, QWidget *parent = nullptr);
    QString name() const;
    // The text exactly as typed, blanks included.
    QString typedName() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *m_nameEdit;
};
