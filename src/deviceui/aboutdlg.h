#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

// "About": the version, the change log that ships with the program, and the project's pages.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // Reads the change log into mLog; a missing or unreadable file leaves the box empty.
    void loadChangelog(const QString &file);

private:
    QLabel *m_versionLabel = nullptr;
    QPlainTextEdit *m_changeLog = nullptr;
};
