#include "deviceui/screenshotform.h"

#include "base/appstate.h"
#include "widgets/dialogutil.h"
#include "base/prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TScreenForm::TScreenForm(const TADB &adb, ScreenFamily family, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_capture(adb, family, QDir(appState().TempDir).filePath(QStringLiteral("screen.raw")))
{
    setObjectName(QStringLiteral("ScreenForm"));
    setWindowTitle(QStringLiteral("Velbrook - Screenshot"));

    ScreenImage = new QLabel(this);
    ScreenImage->setObjectName(QStringLiteral("ScreenImage"));
    ScreenImage->setAlignment(Qt::AlignCenter);
    ScreenImage->setWordWrap(true);

    btnRefresh = namedButton(this, "btnRefresh", QStringLiteral("Refresh"));
    btnRotate = namedButton(this, "btnRotate", QStringLiteral("Rotate"));
    btnSave = namedButton(this, "btnSave", QStringLiteral("Save"));
    btnExit = namedButton(this, "btnExit", QStringLiteral("Exit"));
    connect(btnRefresh, &QPushButton::clicked, this, &TScreenForm::CaptureScreen);
    connect(btnRotate, &QPushButton::clicked, this, &TScreenForm::RotatePicture);
    connect(btnSave, &QPushButton::clicked, this, &TScreenForm::SavePicture);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::accept);

    auto *panel = new QHBoxLayout;
    panel->addWidget(btnRefresh);
    panel->addWidget(btnRotate);
    panel->addWidget(btnSave);
    panel->addStretch();
    panel->addWidget(btnExit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ScreenImage, 1, Qt::AlignCenter);
    layout->addLayout(panel);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showPicture();
}

bool TScreenForm::CaptureScreen()
{
    CaptureResult result = m_capture.capture();
    m_picture = result.image;
    m_error = result.error;
    showPicture();
    return result.ok();
}

void TScreenForm::RotatePicture()
{
    if (m_picture.isNull())
        return;
    m_picture = rotateQuarter(m_picture);
    showPicture();
}

void TScreenForm::SavePicture()
{
    if (m_picture.isNull())
        return;
    QString filter;
    const QString name =
        prompter().chooseSaveFile(this, QStringLiteral("Save Screenshot"),
                                  QStringLiteral("PNG files (*.png);;JPEG files (*.jpg *.jpeg);;BMP files (*.bmp)"),
                                  QStringLiteral("screen"), &filter);
    if (name.isEmpty())
        return;
    const PictureFile file = pictureFile(name, filter);
    if (QFileInfo::exists(file.path) &&
        ReplaceQuestion(this, false).decide(file.path) != ReplaceQuestion::Decision::Write)
        return;
    if (const FileWriteResult saved = savePicture(m_picture, file); !saved.ok)
        prompter().information(this, saved.error);
}

void TScreenForm::showPicture()
{
    btnRotate->setEnabled(!m_picture.isNull());
    btnSave->setEnabled(!m_picture.isNull());
    if (m_picture.isNull()) {
        ScreenImage->setPixmap(QPixmap());
        ScreenImage->setText(m_error);
        ScreenImage->setFixedSize(320, 240);
    } else {
        // Scaled down to what the screen leaves beside the frame and the buttons; never enlarged.
        const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        QSize room = m_picture.size();
        if (screen) {
            const QRect area = screen->availableGeometry();
            room = room.boundedTo(QSize(qMax(160, area.width() - 40), qMax(160, area.height() - 120)));
        }
        const QSize shown = m_picture.size().scaled(room, Qt::KeepAspectRatio);
        ScreenImage->setFixedSize(shown);
        ScreenImage->setPixmap(QPixmap::fromImage(
            shown == m_picture.size() ? m_picture
                                      : m_picture.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    adjustSize();
    centreOnScreen(this);
}
