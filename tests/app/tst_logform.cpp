#include "base/appstate.h"
#include "app/progressdlg.h"
#include "base/settings.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr qint64 MiB = 1024 * 1024;
}

class TestLogForm : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_main;
    OperationLogDialog *m_log = nullptr;

    QPushButton *close() { return m_log->findChild<QPushButton *>(QStringLiteral("btnOK")); }
    QCheckBox *autoClose() { return m_log->findChild<QCheckBox *>(QStringLiteral("AutoClose")); }
    QProgressBar *bar() { return m_log->findChild<QProgressBar *>(QStringLiteral("progressBar")); }
    QLabel *figures() { return m_log->findChild<QLabel *>(QStringLiteral("ProgressText")); }

private slots:
    void init()
    {
        appState() = AppState{};
        appState().tempDir = m_dir.path();
        programSettings() = ProgramSettings{};
        m_main = std::make_unique<QWidget>();
        m_main->show();
        m_log = new OperationLogDialog(m_main.get());
    }

    void emptyOperationStillEndsAndSaves()
    {
        m_log->beginOperation();
        QVERIFY(m_log->isVisible());
        QVERIFY(!m_main->isEnabled());
        QVERIFY(m_log->isEnabled());
        QVERIFY(!close()->isEnabled());
        m_log->logLine(QStringLiteral("Items count: 0"));
        m_log->endOperation();
        QCOMPARE(m_log->text(), QStringLiteral("Items count: 0\n \n*** Operation complete! ***"));
        QFile saved(OperationLogDialog::lastLogPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("Items count: 0\r\n \r\n*** Operation complete! ***"));
        QVERIFY(close()->isEnabled());
        QVERIFY(!m_main->isEnabled());
        close()->click();
        QVERIFY(m_main->isEnabled());
        QVERIFY(!m_log->isVisible());
    }

    void autoCloseEndsTheWindow()
    {
        programSettings().autoCloseLog = true;
        m_log->beginOperation();
        QVERIFY(autoClose()->isChecked());
        m_log->endOperation();
        QVERIFY(!m_log->isVisible());
        QVERIFY(m_main->isEnabled());

        // Unticked while running: the window stays.
        m_log->beginOperation();
        autoClose()->setChecked(false);
        m_log->endOperation();
        QVERIFY(m_log->isVisible());
    }

    void barFillsFromTheReports()
    {
        m_log->beginOperation();
        QVERIFY(figures()->isHidden());
        m_log->reportProgress({75, 300, 0, 0});
        QTRY_COMPARE(bar()->value() * 4, bar()->maximum());
        QVERIFY(figures()->isVisible());
        QCOMPARE(figures()->text(), QStringLiteral("75 of 300 items"));

        // Once bytes are counted they lead the bar; their totals are far past an int.
        m_log->reportProgress({76, 300, 3 * 1024 * MiB, 4 * 1024 * MiB});
        QTRY_COMPARE(bar()->value() * 4, bar()->maximum() * 3);
        QTRY_VERIFY2(figures()->text().startsWith(QStringLiteral("76 of 300 items · 3.0 GB of 4.0 GB")),
                     qPrintable(figures()->text()));

        // Ended early (cancelled): the bar and the figures keep what was done, not a full bar.
        m_log->endOperation();
        QCOMPARE(bar()->value() * 4, bar()->maximum() * 3);
        QVERIFY2(figures()->text().startsWith(QStringLiteral("76 of 300 items · 3.0 GB of 4.0 GB")),
                 qPrintable(figures()->text()));
    }

    void unwritableLogStillFinishes()
    {
        appState().tempDir = m_dir.filePath(QStringLiteral("missing/deeper"));
        m_log->beginOperation();
        m_log->endOperation();
        QVERIFY(m_log->text().contains(QStringLiteral("The log could not be saved")));
        QVERIFY(close()->isEnabled());
        close()->click();
        QVERIFY(m_main->isEnabled());
    }
};

QTEST_MAIN(TestLogForm)
#include "tst_logform.moc"
