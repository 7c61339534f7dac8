#include "apps/apkarchive.h"
#include "common/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestApkArchive : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList folder(const QString &name) const
    {
        return QDir(path(name)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void writesAndReadsBack()
    {
        const QByteArray binary("\x03\0\x08\0\r\n\xff", 7);
        const QByteArray plain(20000, 'a');
        QVERIFY(writeAll(path(QStringLiteral("src/manifest")), binary));
        QString error;
        const QString apk = path(QStringLiteral("out/small.apk"));
        QDir().mkpath(path(QStringLiteral("out")));
        QVERIFY2(writeArchive(apk,
                              {{QStringLiteral("AndroidManifest.xml"), path(QStringLiteral("src/manifest")), {}},
                               {QStringLiteral("resources.arsc"), {}, plain},
                               {QStringLiteral("res/drawable-xhdpi/ic_ł.png"), {}, QByteArray("png")}},
                              &error),
                 qPrintable(error));
        // Only the archive itself is left beside it.
        QCOMPARE(folder(QStringLiteral("out")), QStringList{QStringLiteral("small.apk")});
        QCOMPARE(archiveMembers(apk, &error),
                 (QStringList{QStringLiteral("AndroidManifest.xml"), QStringLiteral("resources.arsc"),
                              QStringLiteral("res/drawable-xhdpi/ic_ł.png")}));
        // Stored, not deflated: the bytes stand in the archive as they are.
        QVERIFY(readAll(apk).contains(plain));

        QDir().mkpath(path(QStringLiteral("icons")));
        const QString manifest =
            extractApkIcon(apk, QStringLiteral("AndroidManifest.xml"), path(QStringLiteral("icons")));
        QCOMPARE(manifest, path(QStringLiteral("icons/AndroidManifest.xml")));
        QCOMPARE(readAll(manifest), binary);
        QVERIFY(writeAll(path(QStringLiteral("icons/ic_ł.png")), QByteArray(500, 'x')));
        const QString icon =
            extractApkIcon(apk, QStringLiteral("res/drawable-xhdpi/ic_ł.png"), path(QStringLiteral("icons")));
        QCOMPARE(readAll(icon), QByteArray("png"));

        // A new archive replaces the old one whole.
        QVERIFY(writeArchive(apk, {{QStringLiteral("only"), {}, QByteArray("1")}}, &error));
        QCOMPARE(archiveMembers(apk), QStringList{QStringLiteral("only")});
    }

    void badArchivesGiveAnError()
    {
        QVERIFY(writeAll(path(QStringLiteral("garbage.apk")), QByteArray("PK\x03\x04 this is no archive at all")));
        QVERIFY(writeAll(path(QStringLiteral("empty.apk")), QByteArray()));
        for (const QString name : {"garbage.apk", "empty.apk", "missing.apk"}) {
            QString error;
            QVERIFY(archiveMembers(path(name), &error).isEmpty());
            QVERIFY2(error.startsWith(path(name) + QStringLiteral(": ")) && error.size() > path(name).size() + 2,
                     qPrintable(error));
            QCOMPARE(extractApkIcon(path(name), QStringLiteral("icon.png"), m_dir.path()), QString());
        }
        QCOMPARE(folder(QString()), (QStringList{QStringLiteral("empty.apk"), QStringLiteral("garbage.apk")}));
    }

    // A write that fails leaves the old archive as it was and nothing else behind.
    void failedWritesLeaveNothing()
    {
        QString error;
        QVERIFY(
            !writeArchive(path(QStringLiteral("missing/a.apk")), {{QStringLiteral("m"), {}, QByteArray("1")}}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(folder(QString()).isEmpty());

        const QString apk = path(QStringLiteral("a.apk"));
        QVERIFY(writeArchive(apk, {{QStringLiteral("old"), {}, QByteArray("1")}}));
        const QByteArray before = readAll(apk);
        const QList<QList<ArchiveEntry>> bad{
            {{QStringLiteral("m"), {}, QByteArray("1")}, {QStringLiteral("n"), path(QStringLiteral("nope")), {}}},
            {{QStringLiteral("m"), {}, QByteArray("1")}, {QStringLiteral("m"), {}, QByteArray("2")}},
            {{QString(), {}, QByteArray("1")}},
            // libzip would delete an archive left without members.
            {},
        };
        for (const QList<ArchiveEntry> &entries : bad) {
            error.clear();
            QVERIFY(!writeArchive(apk, entries, &error));
            QVERIFY(!error.isEmpty());
            QCOMPARE(readAll(apk), before);
            QCOMPARE(folder(QString()), QStringList{QStringLiteral("a.apk")});
        }
    }
};

QTEST_GUILESS_MAIN(TestApkArchive)
#include "tst_apkarchive.moc"
