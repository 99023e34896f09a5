#include "app/ui/DeviceSession.h"

#include "common/Names.h"
#include "common/Platform.h"
#include "common/ui/Notice.h"
#include "device/ui/ConnectionManagerDialog.h"
#include "device/ui/RemoteConnectInfoInputDialog.h"
#include "device/ui/ScriptRemoteImportDialog.h"
#include "project/ActiveProject.h"
#include "project/Workspace.h"
#include "screentools/ColorCode.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "screentools/ui/screen.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QProcess>

DeviceSession::DeviceSession(ActiveProject &project, QWidget *window)
    : project(project)
    , window(window)
{
}

DeviceSession::~DeviceSession()
{
    // The window uses the controller, which goes with this object.
    retire(remoteScreen);
    Platform::stopUsbForwarding(usbForwarding);
}

QString DeviceSession::statusText() const
{
    if (!device.isConnected())
        return QStringLiteral("无任何连接。");
    const PCClientSocket &socket = device.controlSocket();
    return QString::asprintf("%s%s:%d%s...", "已与", socket.host().toUtf8().constData(), socket.port(), "建立连接");
}

bool DeviceSession::refusedWhileInUse() const
{
    if (!busy || !busy())
        return false;
    showNotice(window, QStringLiteral("脚本正在本地运行，设备的连接正被使用。请先停止运行（Shift+F5）再试。"));
    return true;
}

void DeviceSession::endUnwatchedStream()
{
    // A window that waits for its first frame is hidden, and watches all the same.
    if (remoteScreen && (remoteScreen->isVisible() || !remoteScreen->isFirstFrameShown()))
        return;
    if (device.isStreaming())
        device.stopRemoteScreen();
}

RemoteScreenDialog *DeviceSession::lastRemoteScreenDialog() const
{
    return remoteScreen;
}

std::optional<ScreenshotStore::RemoteScreen> DeviceSession::lastRemoteScreen() const
{
    // A window that never had a frame knows no size: its captures go where those without a
    // remote screen go.
    if (!remoteScreen || !remoteScreen->isFirstFrameShown())
        return std::nullopt;
    const FBInfo &frame = remoteScreen->frameInfo();
    return ScreenshotStore::RemoteScreen{frame.width, frame.height, remoteScreen->frameScreencapMode()};
}

void DeviceSession::retire(RemoteScreenDialog *window)
{
    if (!window)
        return;
    window->close(); // unsubscribes and ends its stream
    delete window;
}

void DeviceSession::openRemoteScreen()
{
    if (refusedWhileInUse())
        return;
    RemoteConnectInfoInputDialog dialog(rememberedDeviceAddress, window);
    connect(&dialog, &RemoteConnectInfoInputDialog::signal_connect, this, [this, &dialog](const QString &address, int port) {
        rememberedDeviceAddress = address;
        // Only one window receives frames: the earlier one (or one made on an earlier press) goes.
        retire(remoteScreen);
        adopt(new RemoteScreenDialog(device, window));
        if (!remoteScreen->initRemoteScreen(address, port)) {
            showNotice(&dialog, QStringLiteral("远程设备管理器启动失败，请确认ip地址是否正确！"));
            return;
        }
        showNotice(&dialog, QStringLiteral("连接成功，开启远程屏幕！"));
        dialog.accept();
    });
    // Shown once the questions are answered and its first frame has placed it: a window that
    // came up under a modal box could not be used until the box, hidden behind it, was closed.
    if (dialog.exec() != QDialog::Accepted || !remoteScreen)
        return;
    if (remoteScreen->isFirstFrameShown())
        remoteScreen->show();
    else
        connect(remoteScreen, &RemoteScreenDialog::signal_firstFrameShown, remoteScreen, &QWidget::show);
}

void DeviceSession::adopt(RemoteScreenDialog *made)
{
    remoteScreen = made;
    connect(made, &RemoteScreenDialog::signal_rectScreencap, this, &DeviceSession::captureRectangle);
    connect(made, &RemoteScreenDialog::signal_fullScreencap, this, &DeviceSession::saveScreenshot);
    connect(this, &DeviceSession::signal_screencap_rect, made, &RemoteScreenDialog::slot_screencap_rect);
    connectColorPanel(made->colorPanel());
}

void DeviceSession::connectColorPanel(ColorPickerPanel *panel)
{
    connect(panel, &ColorPickerPanel::signal_insertText, this, &DeviceSession::signal_insertText);
    connect(panel, &ColorPickerPanel::signal_copyText, this,
            [](const QString &text) { QGuiApplication::clipboard()->setText(text); });
    connect(this, &DeviceSession::signal_rectScreencapSaved, panel, &ColorPickerPanel::slot_screencapSaved);
}

void DeviceSession::importPackage()
{
    if (refusedWhileInUse())
        return;
    ScriptRemoteImportDialog dialog(device, rememberedDeviceAddress, window);
    connect(&dialog, &ScriptRemoteImportDialog::signal_addressEntered, this, &DeviceSession::setAddress);
    // Where the build (F6) writes the active project's package.
    const QString name = project.info().name;
    if (!name.isEmpty())
        dialog.setScriptPath(project.directory() + QLatin1Char('/') + name + Names::packageSuffix());
    connect(&dialog, &ScriptRemoteImportDialog::out, this, &DeviceSession::signal_output);
    dialog.exec();
}

void DeviceSession::manageConnection()
{
    if (refusedWhileInUse())
        return;
    ConnectionManagerDialog dialog(device, rememberedDeviceAddress, window);
    connect(&dialog, &ConnectionManagerDialog::signal_addressEntered, this, &DeviceSession::setAddress);
    dialog.exec();
}

void DeviceSession::startUsbForwarding()
{
    // One forwarding process at a time: the previous one is ended first.
    Platform::stopUsbForwarding(usbForwarding);
    const Result<QProcess *> started =
        Platform::startUsbForwarding(this, [this](const QString &why) { showNotice(window, why); });
    usbForwarding = started.valueOr(nullptr);
    if (!started)
        showNotice(window, started.error());
}

void DeviceSession::captureRectangle()
{
    // Inside a widget "screen" names QWidget::screen(), hence the "::".
    const QPixmap desktop = ::screen::grabDesktop();
    ::screen dialog(window);
    connect(&dialog, &::screen::signal_screencap, this, [this](const QPixmap &result, int x1, int y1, int x2, int y2) {
        const QRect region(x1, y1, x2, y2);
        const std::optional<QString> file = save(result, region);
        if (!file)
            return;
        const Result<QString> relative = ColorCode::projectRelativePath(Workspace::projectPath(project.name()), *file);
        if (relative)
            emit signal_rectScreencapSaved(*relative, region);
    });
    dialog.setDesktop(desktop);
    // Shown by exec() itself: a dialog already visible when exec() starts is not modal.
    dialog.setWindowState(Qt::WindowFullScreen);
    dialog.exec();
}

void DeviceSession::saveScreenshot(const QPixmap &result, int x1, int y1, int x2, int y2)
{
    save(result, QRect(x1, y1, x2, y2));
}

std::optional<QString> DeviceSession::save(const QPixmap &result, const QRect &region)
{
    if (project.name().isEmpty()) {
        showNotice(window, QStringLiteral("当前未设定活动工程，无法保存截图。"));
        return std::nullopt;
    }
    const Result<QString> saved = ScreenshotStore::save(result.toImage(), project.name(), lastRemoteScreen(),
                                                        QDateTime::currentMSecsSinceEpoch() / 1000);
    if (!saved)
        showNotice(window, QStringLiteral("截图保存失败。") + saved.error());
    emit signal_screencap_rect(region.x(), region.y(), region.width(), region.height());
    if (!saved)
        return std::nullopt;
    emit signal_output(QStringLiteral("截图已保存：") + saved.value());
    return saved.value();
}

void DeviceSession::openImageEditor(const QString &path)
{
    ImageEditorDialog editor(window);
    editor.setOpenDirectory(lastImageDirectory);
    connect(&editor, &ImageEditorDialog::signal_rectScreencap, this, &DeviceSession::captureRectangle);
    connect(this, &DeviceSession::signal_screencap_rect, &editor, &ImageEditorDialog::slot_screencap_rect);
    connectColorPanel(editor.colorPanel());
    editor.openImage(path);
    editor.exec(); // shows it, maximized, and modal
    lastImageDirectory = editor.openDirectory();
}
