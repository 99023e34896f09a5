#pragma once

#include "device/PCClientControllor.h"
#include "screentools/ScreenshotStore.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <optional>

class ActiveProject;
class ColorPickerPanel;
class QPixmap;
class QProcess;
class QWidget;
class RemoteScreenDialog;

// The device and the screen tools as the main window offers them: the one control connection
// with the address last entered, the remote screen window with its lifetime (only one ever
// receives frames), the connection, import and connect dialogs, USB forwarding, screenshots
// into the active project and the picture windows' colour-code panels, whose code goes to the
// current script.
class DeviceSession : public QObject
{
    Q_OBJECT

public:
    // Dialogs and the remote screen window belong to window.
    DeviceSession(ActiveProject &project, QWidget *window);
    // Closes the remote screen window and ends the connection and USB forwarding.
    ~DeviceSession() override;

    PCClientControllor &controller() { return device; }
    // The address last entered in any device dialog; they all offer it.
    QString address() const { return rememberedDeviceAddress; }
    void setAddress(const QString &address) { rememberedDeviceAddress = address; }
    // Where the image editor's open dialog starts.
    QString imageDirectory() const { return lastImageDirectory; }
    void setImageDirectory(const QString &path) { lastImageDirectory = path; }
    // The status line: the connection and its peer, or "无任何连接。".
    QString statusText() const;
    // While inUse() holds (a script run), the dialogs that connect, disconnect or import say so
    // instead of opening.
    void setInUse(std::function<bool()> inUse) { busy = std::move(inUse); }
    // Ends the screen stream unless the remote screen window shows it: after a script run that
    // started it.
    void endUnwatchedStream();

    // The remote screen window last made, or null; its last frame names the screenshot folders.
    RemoteScreenDialog *lastRemoteScreenDialog() const;
    // None while there is no window or it has not shown a frame yet.
    std::optional<ScreenshotStore::RemoteScreen> lastRemoteScreen() const;

    // Asks for the address and opens the remote screen window, shown once its first frame has
    // placed it; an earlier window is closed and released. Cancelling keeps the earlier one.
    void openRemoteScreen();
    // Offers the active project's package for the remote import.
    void importPackage();
    void manageConnection();
    void startUsbForwarding();
    // A rectangle of the desktop, cut by the author, into the active project (Ctrl+R).
    void captureRectangle();
    // A screenshot into the active project; the region is shown back to the picture windows.
    void saveScreenshot(const QPixmap &result, int x1, int y1, int x2, int y2);
    // The image editor on a bitmap (none: empty), modal.
    void openImageEditor(const QString &path);

signals:
    // A line for the output: the remote import's progress, a saved screenshot.
    void signal_output(const QString &line);
    // Code from a colour-code panel for the current script.
    void signal_insertText(const QString &text);
    // A screenshot's region (left, top, width, height), for the picture windows to show.
    void signal_screencap_rect(int x1, int y1, int x2, int y2);
    // A rectangle screenshot was saved: the file's path in the active project and the region.
    void signal_rectScreencapSaved(const QString &relativePath, const QRect &desktopRegion);

private:
    // Makes a window the one that receives frames and whose captures are saved.
    void adopt(RemoteScreenDialog *window);
    static void retire(RemoteScreenDialog *window);
    void connectColorPanel(ColorPickerPanel *panel);
    // The file it went to; none when it was not saved (the author has been told why).
    std::optional<QString> save(const QPixmap &result, const QRect &region);
    // True, having told the author why, while the connection may not be touched.
    bool refusedWhileInUse() const;

    ActiveProject &project;
    QWidget *window;
    PCClientControllor device;
    QString rememberedDeviceAddress;
    QString lastImageDirectory;
    QPointer<RemoteScreenDialog> remoteScreen;
    QProcess *usbForwarding = nullptr;
    std::function<bool()> busy;
};
