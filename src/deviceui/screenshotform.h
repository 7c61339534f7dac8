#pragma once

#include "device/screencapture.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

// "Velbrook - Screenshot": the phone's screen, turned and saved on request. The opener runs the first
// CaptureScreen before showing the window, so that it opens at the picture's size.
class TScreenForm final : public QDialog {
    Q_OBJECT
public:
    TScreenForm(const TADB &adb, ScreenFamily family, QWidget *parent = nullptr);

    // Takes a new picture; a failed one clears the window and says why.
    bool CaptureScreen();
    void RotatePicture();
    void SavePicture();

    // The picture at full size, as captured and turned; null after a failed capture.
    const QImage &picture() const { return m_picture; }
    QString errorText() const { return m_error; }

private:
    void showPicture();

    ScreenCapture m_capture;
    QImage m_picture;
    QString m_error;
    QLabel *ScreenImage = nullptr;
    QPushButton *btnRefresh = nullptr;
    QPushButton *btnRotate = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
};
