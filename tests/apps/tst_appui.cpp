// The install and uninstall dialogs, as the user meets them.
#include "appsui/appdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QTest>

namespace {

QAbstractButton *button(QDialog &dialog, const QString &name)
{
    return dialog.findChild<QAbstractButton *>(name);
}

} // namespace

class TestAppUi : public QObject {
    Q_OBJECT

private slots:
    void installOptions_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("allowed"); // "Install as private" and "Install on SD" shown
        QTest::addColumn<bool>("onSd");
        QTest::addColumn<QString>("options");
        QTest::newRow("regular") << 0 << true << false << "";
        QTest::newRow("regular on SD") << 0 << true << true << "-s ";
        QTest::newRow("private") << 1 << true << false << "-l ";
        QTest::newRow("private on SD: never -s with -l") << 1 << true << true << "-l ";
        QTest::newRow("update") << 2 << true << false << "-r ";
        QTest::newRow("update on SD") << 2 << true << true << "-s -r ";
        // Hidden choices cannot be made, whatever the caller asks.
        QTest::newRow("private refused") << 1 << false << false << "";
        QTest::newRow("SD box hidden") << 2 << false << true << "-r ";
    }

    void installOptions()
    {
        QFETCH(int, type);
        QFETCH(bool, allowed);
        QFETCH(bool, onSd);
        InstallDialog form({allowed, allowed});
        QCOMPARE(button(form, QStringLiteral("InstallType1"))->isHidden(), !allowed);
        QCOMPARE(form.findChild<QCheckBox *>(QStringLiteral("OnSD"))->isHidden(), !allowed);
        form.setType(InstallDialog::Type(type));
        form.setOnSd(onSd);
        QTEST(form.installOptions(), "options");
    }

    void enterConfirmsInstallButNotUninstall()
    {
        InstallDialog install({true, true});
        install.show();
        QVERIFY(QTest::qWaitForWindowActive(&install));
        QCOMPARE(QApplication::focusWidget(), button(install, QStringLiteral("btnOK")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(install.result(), int(QDialog::Accepted));

        UninstallDialog uninstall;
        uninstall.show();
        QVERIFY(QTest::qWaitForWindowActive(&uninstall));
        QCOMPARE(QApplication::focusWidget(), button(uninstall, QStringLiteral("btnCancel")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(uninstall.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestAppUi)
#include "tst_appui.moc"
