#pragma once

#include "device/screencapture.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

// "Velbrook - Screenshot": the phone's screen, turned and saved on request. The opener runs the first
// captureScreen before showing the window, so that it opens at the picture's size.
class ScreenshotWindow final : public QDialog {
    Q_OBJECT
public:
    explicit ScreenshotWindow(const AdbClient &adb, QWidget *parent = nullptr);

    // Takes a new picture; a failed one clears the window and says why.
    bool captureScreen();
    void rotatePicture();
    void savePictureAs();

    // The picture at full size, as captured and turned; null after a failed capture.
    const QImage &picture() const { return m_picture; }
    QString errorText() const { return m_error; }

private:
    void showPicture();

    ScreenCapture m_capture;
    QImage m_picture;
    QString m_error;
    QLabel *m_screenImage = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QPushButton *m_rotateButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};
