#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"

#include <QMainWindow>
#include <QPixmap>
#include <QSet>

class ColorPickerPanel;
class MyLabel;
class PCClientControllor;
class QScrollArea;

namespace Ui {
class RemoteScreenDialog;
}

// The device's screen, live: every frame of the screen stream shown at one device pixel per
// screen pixel (or, on request, made smaller to fit the window), turned by the author's 90°
// steps; while "开启远程控制" is ticked, presses and releases on the picture and keys in the
// window go to the device as touches and keys. Carries the colour readout, the colour buffers
// and the screenshot commands. The device session makes and starts it; it never opens a frame
// connection itself.
class RemoteScreenDialog : public QMainWindow
{
    Q_OBJECT

public:
    explicit RemoteScreenDialog(PCClientControllor &controller, QWidget *parent = nullptr);
    ~RemoteScreenDialog() override;

    // Connects the control link if it is not connected, subscribes to frames and input and asks
    // the device to stream. False when the control link cannot be made.
    bool initRemoteScreen(QString ip, int port);
    // True once the first frame has placed the window (signal_firstFrameShown); whoever made
    // the window then shows it.
    bool isFirstFrameShown() const { return firstFrameShown; }

    // The last frame's record and image mode; zero before the first frame.
    const FBInfo &frameInfo() const { return fbi; }
    int frameScreencapMode() const { return screencapMode; }
    int rotationDegrees() const { return rotation; }
    QString deviceAddress() const { return ip; }
    int devicePort() const { return port; }
    MyLabel *picture() const { return imageLabel; }
    QScrollArea *frameArea() const { return scrollArea; }
    Ui::RemoteScreenDialog *form() const { return ui; }
    ColorPickerPanel *colorPanel() const;

signals:
    // The first frame since initRemoteScreen has placed the window.
    void signal_firstFrameShown();
    void signal_rectScreencap();
    // Input for the device, only while remote control is on (a release also when its press
    // went before remote control was turned off).
    void signal_touchPress(int x, int y);
    void signal_touchRelease(int x, int y);
    void signal_keyPress(int key);
    void signal_keyRelease(int key);
    // The picture as shown and its region: left, top, width, height in picture pixels.
    void signal_fullScreencap(const QPixmap &result, int x1, int y1, int x2, int y2);

public slots:
    void slot_screencap_rect(int x1, int y1, int x2, int y2);
    // One frame from the controller; the window takes colors.
    void slot_setRemoteScreen(FrameBuffer &colors, FBInfo fbi, int screencapMode);
    void slot_mouseMoveInRemoteScreen(int x, int y);
    void slot_mouseLeaveToRemoteScreen();
    void on_rect_screencap_action_triggered();
    void on_pbLeftRotate_clicked();
    void on_pbRightRotate_clicked();
    void on_action_full_screencap_triggered();
    void on_action_save_color1_triggered();
    void on_action_save_color2_triggered();
    void on_action_save_color3_triggered();
    void on_action_save_color4_triggered();
    void on_action_save_color5_triggered();
    void on_action_save_color6_triggered();
    void on_action_clean_color_buf_triggered();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    // Unsubscribes and ends the stream; the control connection stays open.
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Width and height of the smallest picture area, in window units.
    static constexpr int kMinimumPictureArea = 120;

    void layOutPicture();
    void placeFirstFrame(const QSize &picture);
    void unsubscribe();
    bool remoteControlOn() const;
    void pictureTouchPress(int x, int y);
    void pictureTouchRelease(int x, int y);

    PCClientControllor &controller;
    QString ip;
    int port = 0;
    FBInfo fbi;
    int screencapMode = 0;
    Ui::RemoteScreenDialog *ui;
    QScrollArea *scrollArea = nullptr;
    MyLabel *imageLabel = nullptr;
    int rotation = 0;
    bool firstFrameShown = false;
    QSet<int> pressedKeys; // forwarded presses not yet released
    bool touchDown = false; // a forwarded touch press not yet released
    FrameBuffer shownFrame; // the buffer the picture lies over
};
