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

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Velbrook - Information"));
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
    m_versionLabel = new QLabel(QStringLiteral("version ") + QLatin1String(kProductVersion), this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    names->addWidget(m_versionLabel);
    names->addStretch();
    head->addLayout(names, 1);
    layout->addLayout(head);

    layout->addWidget(new QLabel(QStringLiteral("Changelog:"), this));
    m_changeLog = new QPlainTextEdit(this);
    m_changeLog->setObjectName(QStringLiteral("changeLogText"));
    m_changeLog->setReadOnly(true);
    m_changeLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_changeLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_changeLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(m_changeLog, 1);

    auto *buttons = new QHBoxLayout;
    QPushButton *website = namedButton(this, "websiteButton", QStringLiteral("Velbrook Website"));
    QPushButton *donate = namedButton(this, "donateButton", QStringLiteral("Donate"));
    donate->setToolTip(QStringLiteral("Support the program"));
    QPushButton *ok = namedButton(this, "okButton", QStringLiteral("OK"));
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

void AboutDialog::loadChangelog(const QString &file)
{
    QFile log(file);
    m_changeLog->setPlainText(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString());
}
