#include "lists/listengine.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>

#include <array>

namespace {

ListItem row(const QString &name, const QString &size = QStringLiteral("0"),
             const QString &stamp = QStringLiteral("12:34|2010-01-12"))
{
    return ListItem{size, stamp, name, name};
}

// The plain selection sort the fast one must match, equal keys included.
void referenceSort(QList<ListItem> &rows, const std::function<bool(const ListItem &, const ListItem &)> &precedes)
{
    for (int i = 0; i < rows.size(); ++i) {
        int m = i;
        for (int j = i; j < rows.size(); ++j) {
            if (precedes(rows.at(j), rows.at(m)))
                m = j;
        }
        rows.swapItemsAt(i, m);
    }
}

} // namespace

class TestListEngine : public QObject {
    Q_OBJECT

private slots:
    void rowsSplitAndJoin()
    {
        const ListItem a = splitItem(QStringLiteral("a;b;c;"));
        QCOMPARE(a.sizeText, QStringLiteral("a"));
        QCOMPARE(a.name, QStringLiteral("c"));
        QCOMPARE(a.label, QString());
        QCOMPARE(itemLabel(a), QStringLiteral("c"));
        const ListItem p = splitItem(QStringLiteral("*1234;12:34|2010-01-12;x.apk;Label;"));
        QVERIFY(p.isProtected);
        QCOMPARE(itemSize(p), QStringLiteral("1234"));
        QCOMPARE(p.toText(), QStringLiteral("*1234;12:34|2010-01-12;x.apk;Label;"));
        QCOMPARE(splitItem(QStringLiteral("12")).sizeText, QString());
        QCOMPARE(splitItem(QString()), ListItem{});
        // A name with ";" lives in the record; only its text form cannot hold it.
        const ListItem odd{QStringLiteral("5"), QStringLiteral("s"), QStringLiteral("a;b"), QStringLiteral("a;b")};
        QCOMPARE(itemName(odd), QStringLiteral("a;b"));
    }

    void stamps()
    {
        QCOMPARE(parseItemStamp(QStringLiteral("12:34|2010-01-12"), true),
                 std::optional(QDateTime(QDate(2010, 1, 12), QTime(12, 34))));
        QCOMPARE(parseItemStamp(QStringLiteral("08:04:03|05-01-2010"), false),
                 std::optional(QDateTime(QDate(2010, 1, 5), QTime(8, 4))));
        QVERIFY(!parseItemStamp(QStringLiteral("12:34|2010-02-30"), true));
        QVERIFY(!parseItemStamp(QStringLiteral("12:34|2010-01-1x"), true));
        QVERIFY(!parseItemStamp(QStringLiteral("12:34|2010"), true));
        QVERIFY(!parseItemStamp(QStringLiteral("12:34|2010-01-12"), false));
    }

    void sizes()
    {
        QCOMPARE(formatSize(QStringLiteral("2047")), QStringLiteral("1 KB"));
        QCOMPARE(formatSize(QStringLiteral("abc")), QStringLiteral("abc"));
        // A true decimal fraction, rounded down: never the remaining kilobytes after a comma.
        QCOMPARE(formatSizeKb(QStringLiteral("1536")), QStringLiteral("1.5 MB"));
        QCOMPARE(formatSizeKb(QStringLiteral("2047")), QStringLiteral("1.9 MB"));
        QCOMPARE(formatStorageSize(QStringLiteral("1048575")), QStringLiteral("1023.9 MB"));
        QCOMPARE(formatStorageSize(QStringLiteral("1048576")), QStringLiteral("1.0 GB"));
        QCOMPARE(formatStorageSize(QStringLiteral(" 112240")), QStringLiteral("109.6 MB"));
        QCOMPARE(formatStorageSize(QStringLiteral("1.9G")), QStringLiteral("1.9G"));
    }

    void fastSortMatchesTheSelectionSort()
    {
        QRandomGenerator random(20261206);
        const QStringList pool{"a", "B", "b", "c.txt", "C.TXT", "zz", "Żółw", "żółw", "10", "9", "_x", "a b"};
        const QStringList stamps{"12:34|2010-01-12", "12:35|2010-01-12", "00:00|2011-03-04", "12:34|2010-01-12"};
        for (int round = 0; round < 300; ++round) {
            QList<ListItem> rows;
            const int n = random.bounded(1, 40);
            for (int i = 0; i < n; ++i) {
                ListItem r = row(pool.at(random.bounded(pool.size())), QString::number(random.bounded(4)),
                                 stamps.at(random.bounded(stamps.size())));
                r.label = pool.at(random.bounded(pool.size())) + QString::number(i % 3 == 0 ? 0 : i);
                rows << r;
            }
            const SortKey key =
                std::array{SortKey::Label, SortKey::Name, SortKey::Date, SortKey::Size}[random.bounded(4)];
            QList<ListItem> expected = rows;
            QCollator collator;
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            referenceSort(expected, [&](const ListItem &a, const ListItem &b) {
                switch (key) {
                case SortKey::Label:
                    return collator.compare(itemLabel(a), itemLabel(b)) < 0;
                case SortKey::Name:
                    return collator.compare(a.name, b.name) < 0;
                case SortKey::Date:
                    return *parseItemStamp(a.stamp, true) > *parseItemStamp(b.stamp, true);
                case SortKey::Size:
                    break;
                }
                return a.sizeText.toInt() > b.sizeText.toInt();
            });
            QList<ListItem> actual = rows;
            QVERIFY(sortItems(actual, key, true));
            QCOMPARE(actual, expected);
        }
    }

    void checksAndSearch()
    {
        QList<bool> checks{true, false, true};
        QCOMPARE(countChecked(checks), 2);
        QCOMPARE(invertChecks(checks, 2), 1);
        QCOMPARE(checks, (QList<bool>{false, true, false}));
        QCOMPARE(toggleAllByFirst(checks), 3);
        QCOMPARE(toggleAllByFirst(checks), 0);
        QCOMPARE(checks, (QList<bool>{false, false, false}));
        QCOMPARE(checkAll(checks), 3);
        QCOMPARE(uncheckAll(checks), 0);
        QList<bool> empty;
        QCOMPARE(toggleAllByFirst(empty), 0);

        const QList<ListItem> rows{row("notes.txt"), row("b.bin"), row("a.TXT.bak"), row("dir/")};
        QCOMPARE(selectMatching(rows, QStringLiteral(" TXT ")), (QList<int>{0, 2}));
        QCOMPARE(selectMatching(rows, QStringLiteral("zzz")), QList<int>{});
        QCOMPARE(selectMatching(rows, QStringLiteral("/")), QList<int>{3});
        QCOMPARE(selectMatching(rows, QString()), QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestListEngine)
#include "tst_listengine.moc"
