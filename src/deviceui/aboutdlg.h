#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

// "About": the version, the change log that ships with the program, and the project's pages.
class TAboutForm final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);

    // Reads the change log into mLog; a missing or unreadable file leaves the box empty.
    void loadChangelog(const QString &file);

private:
    QLabel *lVersion = nullptr;
    QPlainTextEdit *mLog = nullptr;
};
