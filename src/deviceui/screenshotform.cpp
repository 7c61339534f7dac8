#include "deviceui/screenshotform.h"

#include "base/appstate.h"
#include "base/chooserfolders.h"
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

ScreenshotWindow::ScreenshotWindow(const AdbClient &adb, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_capture(adb, QDir(appState().tempDir).filePath(QStringLiteral("screen.raw")))
{
    setObjectName(QStringLiteral("ScreenForm"));
    setWindowTitle(QStringLiteral("Velbrook - Screenshot"));

    m_screenImage = new QLabel(this);
    m_screenImage->setObjectName(QStringLiteral("ScreenImage"));
    m_screenImage->setAlignment(Qt::AlignCenter);
    m_screenImage->setWordWrap(true);

    m_refreshButton = namedButton(this, "btnRefresh", QStringLiteral("Refresh"));
    m_rotateButton = namedButton(this, "btnRotate", QStringLiteral("Rotate"));
    m_saveButton = namedButton(this, "btnSave", QStringLiteral("Save"));
    m_closeButton = namedButton(this, "btnExit", QStringLiteral("Exit"));
    connect(m_refreshButton, &QPushButton::clicked, this, &ScreenshotWindow::captureScreen);
    connect(m_rotateButton, &QPushButton::clicked, this, &ScreenshotWindow::rotatePicture);
    connect(m_saveButton, &QPushButton::clicked, this, &ScreenshotWindow::savePictureAs);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *panel = new QHBoxLayout;
    panel->addWidget(m_refreshButton);
    panel->addWidget(m_rotateButton);
    panel->addWidget(m_saveButton);
    panel->addStretch();
    panel->addWidget(m_closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_screenImage, 1, Qt::AlignCenter);
    layout->addLayout(panel);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showPicture();
}

bool ScreenshotWindow::captureScreen()
{
    CaptureResult result = m_capture.capture();
    m_picture = result.image;
    m_error = result.error;
    showPicture();
    return result.ok();
}

void ScreenshotWindow::rotatePicture()
{
    if (m_picture.isNull())
        return;
    m_picture = rotateQuarter(m_picture);
    showPicture();
}

void ScreenshotWindow::savePictureAs()
{
    if (m_picture.isNull())
        return;
    QString filter;
    const QString name =
        chooseSaveFileFor(Chooser::Screenshot, this, QStringLiteral("Save Screenshot"),
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

void ScreenshotWindow::showPicture()
{
    m_rotateButton->setEnabled(!m_picture.isNull());
    m_saveButton->setEnabled(!m_picture.isNull());
    if (m_picture.isNull()) {
        m_screenImage->setPixmap(QPixmap());
        m_screenImage->setText(m_error);
        m_screenImage->setFixedSize(320, 240);
    } else {
        // Scaled down to what the screen leaves beside the frame and the buttons; never enlarged.
        const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        QSize room = m_picture.size();
        if (screen) {
            const QRect area = screen->availableGeometry();
            room = room.boundedTo(QSize(qMax(160, area.width() - 40), qMax(160, area.height() - 120)));
        }
        const QSize shown = m_picture.size().scaled(room, Qt::KeepAspectRatio);
        m_screenImage->setFixedSize(shown);
        m_screenImage->setPixmap(QPixmap::fromImage(
            shown == m_picture.size() ? m_picture
                                      : m_picture.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    adjustSize();
    centreOnScreen(this);
}
