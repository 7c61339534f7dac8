#include "base/appstate.h"
#include "app/progressdlg.h"
#include "base/settings.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestLogForm : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_main;
    TLogForm *m_log = nullptr;

    QPushButton *close() { return m_log->findChild<QPushButton *>(QStringLiteral("btnOK")); }
    QCheckBox *autoClose() { return m_log->findChild<QCheckBox *>(QStringLiteral("AutoClose")); }

private slots:
    void init()
    {
        appState() = AppState{};
        appState().TempDir = m_dir.path();
        programSettings() = ProgramSettings{};
        m_main = std::make_unique<QWidget>();
        m_main->show();
        m_log = new TLogForm(m_main.get());
    }

    void emptyOperationStillEndsAndSaves()
    {
        m_log->BeginOperation();
        QVERIFY(m_log->isVisible());
        QVERIFY(!m_main->isEnabled());
        QVERIFY(m_log->isEnabled());
        QVERIFY(!close()->isEnabled());
        m_log->LogLine(QStringLiteral("Items count: 0"));
        m_log->EndOperation();
        QCOMPARE(m_log->text(), QStringLiteral("Items count: 0\n \n*** Operation complete! ***"));
        QFile saved(TLogForm::lastLogPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("Items count: 0\r\n \r\n*** Operation complete! ***"));
        QVERIFY(close()->isEnabled());
        QVERIFY(!m_main->isEnabled());
        close()->click();
        QVERIFY(m_main->isEnabled());
        QVERIFY(!m_log->isVisible());
    }

    void autoCloseIsRemembered()
    {
        programSettings().AutoCloseLog = true;
        m_log->BeginOperation();
        QVERIFY(autoClose()->isChecked());
        m_log->EndOperation();
        QVERIFY(!m_log->isVisible());
        QVERIFY(m_main->isEnabled());
        QVERIFY(programSettings().AutoCloseLog);

        // Unticked while running: the window stays, and the choice holds after "Close".
        m_log->BeginOperation();
        autoClose()->setChecked(false);
        m_log->EndOperation();
        QVERIFY(m_log->isVisible());
        close()->click();
        QVERIFY(!programSettings().AutoCloseLog);
    }

    void unwritableLogStillFinishes()
    {
        appState().TempDir = m_dir.filePath(QStringLiteral("missing/deeper"));
        m_log->BeginOperation();
        m_log->EndOperation();
        QVERIFY(m_log->text().contains(QStringLiteral("The log could not be saved")));
        QVERIFY(close()->isEnabled());
        close()->click();
        QVERIFY(m_main->isEnabled());
    }
};

QTEST_MAIN(TestLogForm)
#include "tst_logform.moc"
