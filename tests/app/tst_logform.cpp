#include "base/appstate.h"
#include "app/progressdlg.h"
#include "base/settings.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
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

    // The cycling bar moves on by itself; give it a few of its steps.
    bool barMovesByItself()
    {
        const int before = bar()->value();
        return QTest::qWaitFor([&] { return bar()->value() != before; }, 1000);
    }

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

    void autoCloseIsRemembered()
    {
        programSettings().autoCloseLog = true;
        m_log->beginOperation();
        QVERIFY(autoClose()->isChecked());
        m_log->endOperation();
        QVERIFY(!m_log->isVisible());
        QVERIFY(m_main->isEnabled());
        QVERIFY(programSettings().autoCloseLog);

        // Unticked while running: the window stays, and the choice holds after "Close".
        m_log->beginOperation();
        autoClose()->setChecked(false);
        m_log->endOperation();
        QVERIFY(m_log->isVisible());
        close()->click();
        QVERIFY(!programSettings().autoCloseLog);
    }

    void barCyclesUntilTheFirstReportThenFills()
    {
        m_log->beginOperation();
        QVERIFY(figures()->isHidden());
        QVERIFY(barMovesByItself());
        // Without any total there is nothing to fill.
        m_log->reportProgress({0, 0, 0, 0});
        QVERIFY(barMovesByItself());

        m_log->reportProgress({75, 300, 0, 0});
        QTRY_COMPARE(bar()->value() * 4, bar()->maximum());
        QVERIFY(figures()->isVisible());
        QCOMPARE(figures()->text(), QStringLiteral("75 of 300 items"));
        QVERIFY(!barMovesByItself());

        // Once bytes are counted they lead the bar; their totals are far past an int.
        m_log->reportProgress({76, 300, 3 * 1024 * MiB, 4 * 1024 * MiB});
        QTRY_COMPARE(bar()->value() * 4, bar()->maximum() * 3);
        QTRY_VERIFY2(figures()->text().startsWith(QStringLiteral("76 of 300 items · 3.0 GB of 4.0 GB")),
                     qPrintable(figures()->text()));
    }

    void aFloodOfReportsIsShownAFewTimesASecond()
    {
        m_log->beginOperation();
        QSignalSpy repaints(bar(), &QProgressBar::valueChanged);
        QElapsedTimer clock;
        clock.start();
        for (int row = 1; row <= 1000; ++row) {
            m_log->reportProgress({row, 1000, 0, 0});
            QCoreApplication::processEvents();
        }
        const qint64 took = clock.elapsed();
        QVERIFY2(repaints.count() <= took / 100 + 2, qPrintable(QString::number(repaints.count())));
        // The last report is shown all the same.
        QTRY_COMPARE(bar()->value(), bar()->maximum());
        QTRY_COMPARE(figures()->text(), QStringLiteral("1000 of 1000 items"));
    }

    void endKeepsTheFinalFigures()
    {
        m_log->beginOperation();
        m_log->reportProgress({0, 3, 0, 3 * MiB});
        QTest::qWait(600);
        m_log->reportProgress({1, 3, MiB, 3 * MiB});
        QVERIFY2(figures()->text().endsWith(QStringLiteral(" left")), qPrintable(figures()->text()));

        // Cancelled after the first of three: the figures and the bar say so.
        m_log->endOperation();
        QCOMPARE(bar()->value() * 3, bar()->maximum() - 1);
        const QString final = figures()->text();
        QVERIFY2(final.startsWith(QStringLiteral("1 of 3 items · 1.0 MB of 3.0 MB · ")), qPrintable(final));
        QVERIFY2(final.endsWith(QStringLiteral("/s")), qPrintable(final));

        // A report after the end changes nothing.
        m_log->reportProgress({2, 3, 2 * MiB, 3 * MiB});
        QTest::qWait(150);
        QCOMPARE(figures()->text(), final);
    }

    void beginAgainStartsCycling()
    {
        // The window stays open after the first operation, so no new showEvent restarts the bar.
        m_log->beginOperation();
        m_log->reportProgress({5, 10, 0, 0});
        m_log->endOperation();
        QVERIFY(m_log->isVisible());

        m_log->beginOperation();
        QVERIFY(figures()->isHidden());
        QCOMPARE(figures()->text(), QString());
        QVERIFY(bar()->value() < bar()->maximum());
        QVERIFY(barMovesByItself());
        m_log->reportProgress({1, 4, 0, 0});
        QCOMPARE(bar()->value() * 4, bar()->maximum());
        QCOMPARE(figures()->text(), QStringLiteral("1 of 4 items"));
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
