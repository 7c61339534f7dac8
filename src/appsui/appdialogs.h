#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;

// "Uninstall settings": names the applications that go, and whether their data goes too.
class UninstallDialog final : public QDialog {
    Q_OBJECT
public:
    explicit UninstallDialog(QWidget *parent = nullptr, const QStringList &names = {});
    bool keepData() const;
    void setKeepData(bool keep);

private:
    QButtonGroup *m_uninstallKind;
};

// What the phone accepts among the installation types.
struct InstallChoices {
    bool privateInstall = true; // "-l": forward-locked, refused by current phones
    bool onSd = false;          // "-s": the "Install on SD" box, for phones with secure containers
};

// "Select installation type": regular, private or update, and "Install on SD".
class InstallDialog final : public QDialog {
    Q_OBJECT
public:
    enum Type { Regular = 0, Private = 1, Update = 2 };

    explicit InstallDialog(InstallChoices choices, QWidget *parent = nullptr);
    // "", "-l ", "-r ", with "-s " in front when installing on SD (never with "-l ").
    QString installOptions() const;
    void setType(Type type);
    void setOnSd(bool on);

private:
    QButtonGroup *m_installKind;
    QCheckBox *m_onSdBox;
};
