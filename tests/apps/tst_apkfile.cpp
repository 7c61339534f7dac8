#include "apps/apkarchive.h"
#include "apps/apkfile.h"
#include "common/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestApkFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A bundle whose members hold their own names as content.
    QString bundle(const QString &name, const QStringList &members)
    {
        QList<ArchiveEntry> entries;
        for (const QString &member : members)
            entries << ArchiveEntry{member, {}, member.toUtf8()};
        QString error;
        if (!writeArchive(path(name), entries, &error))
            qWarning("%s", qPrintable(error));
        return path(name);
    }

private slots:
    void bundlePartsPutTheBaseFirst()
    {
        // Bundles written by other tools put the base anywhere, sometimes in a folder.
        QCOMPARE(bundleParts(bundle(QStringLiteral("a.apks"),
                                    {"split_config.en.apk", "toc.pb", "base.apk", "split_config.arm64_v8a.apk"})),
                 (QStringList{"base.apk", "split_config.en.apk", "split_config.arm64_v8a.apk"}));
        QCOMPARE(bundleParts(bundle(QStringLiteral("b.apks"), {"splits/split_x.apk", "splits/base.apk"})),
                 (QStringList{"splits/base.apk", "splits/split_x.apk"}));
        // Without base.apk the first part not called a split is the base.
        QCOMPARE(bundleParts(bundle(QStringLiteral("c.apks"), {"split_a.apk", "app.apk", "split_b.apk"})),
                 (QStringList{"app.apk", "split_a.apk", "split_b.apk"}));
        QVERIFY(bundleParts(bundle(QStringLiteral("d.apks"), {"split_a.apk", "split_b.apk"})).isEmpty());
        QVERIFY(writeAll(path(QStringLiteral("e.apks")), "not a zip"));
        QVERIFY(bundleParts(path(QStringLiteral("e.apks"))).isEmpty());
    }

    void packageFileTakesTheBaseOutAndCleansUp()
    {
        const QString source = bundle(QStringLiteral("f.apks"), {"split_config.en.apk", "base.apk"});
        const QString temp = path(QStringLiteral("temp"));
        QString base;
        {
            const PackageFile file(source, temp);
            QVERIFY(file.isBundle());
            base = file.apk();
            QCOMPARE(readAll(base), QByteArray("base.apk"));
        }
        QVERIFY(!QFileInfo::exists(base));
        QVERIFY(QDir(temp).isEmpty());

        const PackageFile plain(path(QStringLiteral("g.apk")), temp);
        QVERIFY(!plain.isBundle());
        QCOMPARE(plain.apk(), path(QStringLiteral("g.apk")));
        const PackageFile noBase(bundle(QStringLiteral("h.apks"), {"split_a.apk"}), temp);
        QVERIFY(noBase.apk().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestApkFile)
#include "tst_apkfile.moc"
