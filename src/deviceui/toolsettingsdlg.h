#pragma once

#include <QDialog>

class QLineEdit;

// "SQLite Browser Settings": where the database browser's program is. However the dialog is closed,
// the trimmed path is the new setting, written at once.
class TSQLSettingsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TSQLSettingsForm(QWidget *parent = nullptr);
    QLineEdit *path() const { return SQLPath; }

    void done(int result) override;

private:
    void btnBrowseClick();

    QLineEdit *SQLPath = nullptr;
};

// "SignAPK Settings": the folder with signapk.jar and the test key, stored as typed.
class TSignApkSettingsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TSignApkSettingsForm(QWidget *parent = nullptr);
    QLineEdit *path() const { return JarPath; }

    void done(int result) override;

private:
    void btnBrowseClick();

    QLineEdit *JarPath = nullptr;
};
