// The applications list's dialogs and rows, as the user meets them.
#include "appsui/appdialogs.h"
#include "appsui/approwdelegate.h"
#include "lists/filelistmodel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

constexpr int kWidth = 400;

QAbstractButton *button(QDialog &dialog, const QString &name)
{
    return dialog.findChild<QAbstractButton *>(name);
}

ListItem application(const QString &label, bool isProtected)
{
    ListItem item;
    item.sizeText = QStringLiteral("2048000");
    item.stamp = QStringLiteral("10:30|2011-03-05");
    item.name = QStringLiteral("/data/app/com.example.tool-1.apk");
    item.label = label;
    item.isProtected = isProtected;
    return item;
}

} // namespace

class TestAppUi : public QObject {
    Q_OBJECT

private:
    FileListModel m_model;
    AppRowDelegate m_delegate;

    QStyleOptionViewItem rowOption(int row, bool selected) const
    {
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, kWidth, m_delegate.sizeHint(option, m_model.index(row)).height());
        option.font = QApplication::font();
        option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        return option;
    }

    QImage paintRow(int row, bool selected) const
    {
        const QStyleOptionViewItem option = rowOption(row, selected);
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::red); // whatever the delegate leaves unpainted shows up
        QPainter painter(&image);
        m_delegate.paint(&painter, option, m_model.index(row));
        return image;
    }

    // Where the icon column starts: right of the check box the style places.
    int iconColumnLeft() const
    {
        QStyleOptionViewItem option = rowOption(0, false);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        return QApplication::style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option).right() + 3;
    }

    // The darkest pixel of the label line, right of the icon column: the glyphs' full colour.
    QColor labelInk(const QImage &image) const
    {
        const int labelBottom = QFontMetrics(QApplication::font()).height();
        QColor darkest = Qt::white;
        for (int y = 1; y <= labelBottom; ++y)
            for (int x = iconColumnLeft() + 36; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.lightness() < darkest.lightness())
                    darkest = c;
            }
        return darkest;
    }

private slots:
    void initTestCase()
    {
        m_model.setRows({application(QStringLiteral("WWW Locked Tool"), true),
                         application(QStringLiteral("WWW Open Tool"), false)});
    }

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

    void rowHeight()
    {
        QStyleOptionViewItem option;
        option.font = QApplication::font();
        // The label and three detail lines (package and version; dates and size; path) fit.
        QFont small = option.font;
        small.setPointSize(7);
        const int needed = QFontMetrics(option.font).height() + 3 * QFontMetrics(small).height();
        const int height = m_delegate.sizeHint(option, m_model.index(0)).height();
        QVERIFY2(height >= 38 && height >= needed, qPrintable(QString::number(height)));
    }

    void protectedLabelIsMaroon()
    {
        const QColor locked = labelInk(paintRow(0, false));
        QVERIFY2(locked.red() > 0x60 && locked.green() < 0x20 && locked.blue() < 0x20, qPrintable(locked.name()));
        const QColor open = labelInk(paintRow(1, false));
        QVERIFY2(open.red() < 0x30 && open.green() < 0x30 && open.blue() < 0x30, qPrintable(open.name()));
    }

    void rowsWithoutImageGetTheGenericOne()
    {
        QPixmap own(32, 32);
        own.fill(Qt::blue);
        m_delegate.setIcons({own});
        const QImage first = paintRow(0, false);
        const QImage second = paintRow(1, false);
        m_delegate.setIcons({});
        const QPoint centre(iconColumnLeft() + 2 + 16, 3 + 28);
        QCOMPARE(first.pixel(centre), qRgb(0, 0, 0xFF));
        QCOMPARE(second.pixel(centre), AppRowDelegate::genericIcon().toImage().pixel(16, 28));
    }
};

QTEST_MAIN(TestAppUi)
#include "tst_appui.moc"
