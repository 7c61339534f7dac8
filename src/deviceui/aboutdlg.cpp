#include "deviceui/aboutdlg.h"

#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/prompter.h"
#include "device/externaltools.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Velbrook - Informations"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    auto *logoPanel = new QFrame(this);
    logoPanel->setFrameShape(QFrame::Panel);
    logoPanel->setFrameShadow(QFrame::Sunken);
    auto *logoLayout = new QVBoxLayout(logoPanel);
    auto *logo = new QLabel(logoPanel);
    logo->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    logoLayout->addWidget(logo);
    head->addWidget(logoPanel);
    auto *names = new QVBoxLayout;
    auto *product = new QLabel(QStringLiteral("Velbrook"), this);
    QFont big = product->font();
    big.setPointSize(18);
    big.setBold(true);
    product->setFont(big);
    names->addWidget(product);
    lVersion = new QLabel(QStringLiteral("version ") + QLatin1String(kProductVersion), this);
    lVersion->setObjectName(QStringLiteral("lVersion"));
    names->addWidget(lVersion);
    names->addStretch();
    head->addLayout(names, 1);
    layout->addLayout(head);

    layout->addWidget(new QLabel(QStringLiteral("Changelog:"), this));
    mLog = new QPlainTextEdit(this);
    mLog->setObjectName(QStringLiteral("mLog"));
    mLog->setReadOnly(true);
    mLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    mLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(mLog, 1);

    auto *buttons = new QHBoxLayout;
    QPushButton *website = namedButton(this, "btnNewDirectoryCP", QStringLiteral("Velbrook Website"));
    QPushButton *donate = namedButton(this, "AdvSmoothToggleButton1", QStringLiteral("Donate"));
    donate->setToolTip(QStringLiteral("Support the program"));
    QPushButton *ok = namedButton(this, "AdvSmoothToggleButton2", QStringLiteral("OK"));
    buttons->addWidget(website);
    buttons->addWidget(donate);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(website, &QPushButton::clicked, this, [] { prompter().openExternal(websiteUrl()); });
    connect(donate, &QPushButton::clicked, this, [] { prompter().openExternal(donateUrl()); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    resize(520, 420);
    loadChangelog(changelogFile(appState()));
    centreOnScreen(this);
}

void TAboutForm::loadChangelog(const QString &file)
{
    QFile log(file);
    mLog->setPlainText(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString());
}
