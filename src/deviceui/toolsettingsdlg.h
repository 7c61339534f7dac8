#pragma once

#include <QDialog>

class QLineEdit;

// "SQLite Browser Settings": where the database browser's program is. However the dialog is closed,
// the trimmed path is the new setting, written at once.
class SqliteBrowserSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SqliteBrowserSettingsDialog(QWidget *parent = nullptr);
    QLineEdit *path() const { return m_browserPath; }

    void done(int result) override;

private:
    void btnBrowseClick();

    QLineEdit *m_browserPath = nullptr;
};

// "SignAPK Settings": the folder with signapk.jar and the test key, stored as typed.
class SignApkSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SignApkSettingsDialog(QWidget *parent = nullptr);
    QLineEdit *path() const { return m_signApkFolder; }

    void done(int result) override;

private:
    void btnBrowseClick();

    QLineEdit *m_signApkFolder = nullptr;
};
