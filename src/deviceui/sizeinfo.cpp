#include "deviceui/sizeinfo.h"

#include "widgets/dialogutil.h"
#include "device/storagestatus.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor kUsed(47, 157, 222);
const QColor kFree(183, 227, 0);

QLabel *square(QWidget *parent, const char *name, const QColor &colour)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedSize(12, 12);
    label->setStyleSheet(QStringLiteral("background: %1; border: 1px solid gray;").arg(colour.name()));
    return label;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

StorageSizeDialog::StorageSizeDialog(const SizeInfo &info, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("SizeInfoForm"));
    setWindowTitle(QStringLiteral("Size information"));

    auto *title = label(this, "lTitle", info.title);
    QFont big = title->font();
    big.setPointSize(12);
    title->setFont(big);

    auto *grid = new QGridLayout;
    grid->addWidget(label(this, "totalCaption", QStringLiteral("Total:")), 0, 1);
    grid->addWidget(label(this, "lTotal", info.totalText), 0, 2);
    grid->addWidget(square(this, "UsedSQR", kUsed), 1, 0);
    grid->addWidget(label(this, "usedCaption", QStringLiteral("Used:")), 1, 1);
    grid->addWidget(label(this, "lUsed", info.usedText), 1, 2);
    grid->addWidget(square(this, "FreeSQR", kFree), 2, 0);
    grid->addWidget(label(this, "freeCaption", QStringLiteral("Free:")), 2, 1);
    grid->addWidget(label(this, "lFree", info.freeText), 2, 2);

    auto *bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("UsedSpace"));
    bar->setOrientation(Qt::Vertical);
    bar->setTextVisible(false);
    // Kibibytes of a large card overflow an int; the bar only needs the share.
    const int scale = info.total > 0 ? int(info.used * 1000 / info.total) : 0;
    bar->setRange(0, 1000);
    bar->setValue(std::clamp(scale, 0, 1000));
    bar->setFixedWidth(28);
    bar->setStyleSheet(QStringLiteral("QProgressBar { background: %1; border: 1px solid gray; }"
                                      "QProgressBar::chunk { background: %2; }")
                           .arg(kFree.name(), kUsed.name()));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnShowApps"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *left = new QVBoxLayout;
    left->addWidget(title);
    left->addLayout(grid);
    left->addStretch();
    left->addWidget(ok, 0, Qt::AlignLeft);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(bar);
    resize(289, 145);
    setFixedSize(size().expandedTo(sizeHint()));
    centreOnScreen(this);
}
