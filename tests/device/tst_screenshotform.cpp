// Saving from the screenshot window: the chosen type, the replace question, and a file that cannot be written.
#include "base/appstate.h"
#include "common/recordingrunner.h"
#include "common/scriptedprompter.h"
#include "common/testfiles.h"
#include "deviceui/screenshotform.h"

#include <QImageReader>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i) & 0xff);
    return b;
}

// What screencap prints for a grey screen.
QByteArray greyScreen(int width, int height)
{
    return le32(width) + le32(height) + le32(1) + le32(1) + QByteArray(width * height * 4, '\x40');
}

QByteArray formatOf(const QString &file)
{
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

} // namespace

class TestScreenshotForm : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedPrompter *m_prompter = nullptr;
    std::unique_ptr<ScreenshotWindow> m_form;

    void save(const QString &name, const QString &filter = QString())
    {
        m_prompter->saveFiles << name;
        if (!filter.isEmpty())
            m_prompter->saveFilters << filter;
        m_form->findChild<QPushButton *>(QStringLiteral("btnSave"))->click();
    }

private slots:
    void init()
    {
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        appState().tempDir = m_dir.path();
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(QStringLiteral("adb shell ls -a \"/system/bin/\" | cat"), QStringLiteral("screencap\n"));
        runner->fileAnswers.insert(QStringLiteral("adb exec-out screencap"), greyScreen(200, 300));
        m_form = std::make_unique<ScreenshotWindow>(AdbClient(runner));
        QVERIFY2(m_form->captureScreen(), qPrintable(m_form->errorText()));
    }
    void cleanup() { m_form.reset(); }

    void chosenTypeAndReplaceQuestion()
    {
        const QString shot = m_dir.filePath(QStringLiteral("shot"));
        save(shot, QStringLiteral("JPEG files (*.jpg *.jpeg)"));
        QCOMPARE(formatOf(shot + QStringLiteral(".jpg")), QByteArray("jpeg"));
        QVERIFY(!QFile::exists(shot));
        QVERIFY(m_prompter->messages.isEmpty());

        // The same name again: asked once, about the file that would be written; Skip keeps it.
        const QByteArray first = readAll(shot + QStringLiteral(".jpg"));
        m_form->rotatePicture();
        save(shot, QStringLiteral("JPEG files (*.jpg *.jpeg)"));
        QCOMPARE(m_prompter->messages, QStringList{QStringLiteral("replace: ") + shot + QStringLiteral(".jpg")});
        QCOMPARE(readAll(shot + QStringLiteral(".jpg")), first);

        m_prompter->messages.clear();
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        save(shot + QStringLiteral(".jpg"), QStringLiteral("PNG files (*.png)"));
        QCOMPARE(m_prompter->messages.size(), 1);
        const QImage turned(shot + QStringLiteral(".jpg"));
        QCOMPARE(turned.size(), QSize(300, 200));
        QCOMPARE(formatOf(shot + QStringLiteral(".jpg")), QByteArray("jpeg"));
    }

    void unwritableTargetsKeepTheirBytes()
    {
        const QByteArray old("an older picture the user keeps");
        const QString locked = m_dir.filePath(QStringLiteral("locked.png"));
        QVERIFY(writeAll(locked, old));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        save(locked);
        QCOMPARE(m_prompter->messages.size(), 2);
        QVERIFY2(m_prompter->messages.at(1).startsWith(QStringLiteral("info: Cannot write ") + locked) &&
                     m_prompter->messages.at(1).endsWith(QStringLiteral("permission denied")),
                 qPrintable(m_prompter->messages.at(1)));
        QCOMPARE(readAll(locked), old);
        // A full disk ends the same way; the safe file's own test fills one.
    }
};

QTEST_MAIN(TestScreenshotForm)
#include "tst_screenshotform.moc"
