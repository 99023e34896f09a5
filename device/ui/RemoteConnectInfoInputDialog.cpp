#include "device/ui/RemoteConnectInfoInputDialog.h"

#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/Notice.h"
#include "device/PCClientControllor.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "ui_RemoteConnectInfoInputDialog.h"

#include <QTimerEvent>

QPointer<RemoteScreenDialog> lastRemoteScreenDialog;

RemoteConnectInfoInputDialog::RemoteConnectInfoInputDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::RemoteConnectInfoInputDialog)
    , earlier(lastRemoteScreenDialog)
{
    ui->setupUi(this);
    ui->leIP->setText(rememberedDeviceAddress);
    lastRemoteScreenDialog = nullptr;
}

RemoteConnectInfoInputDialog::~RemoteConnectInfoInputDialog()
{
    // Cancelled before making a window: the earlier window is still the one in use.
    if (!lastRemoteScreenDialog)
        lastRemoteScreenDialog = earlier;
    delete ui;
}

void RemoteConnectInfoInputDialog::retire(RemoteScreenDialog *window)
{
    if (!window)
        return;
    window->close(); // unsubscribes and ends its stream
    delete window;
}

void RemoteConnectInfoInputDialog::on_pbConnect_clicked()
{
    const QString address = ui->leIP->text();
    const int port = ui->lePort->text().toInt(); // not a number: 0
    // A window made by an earlier press of this dialog, and the one of an earlier use.
    retire(lastRemoteScreenDialog);
    retire(earlier);

    auto *window = new RemoteScreenDialog(parentWidget());
    lastRemoteScreenDialog = window;
    if (!window->initRemoteScreen(address, port)) {
        showNotice(this, QStringLiteral("远程设备管理器启动失败，请确认ip地址是否正确！"));
        return;
    }
    if (mainWindow) {
        connect(window, &RemoteScreenDialog::signal_rectScreencap, mainWindow,
                &ProjectManagerWindow::on_screencap_rect_action_triggered);
        connect(window, &RemoteScreenDialog::signal_fullScreencap, mainWindow, &ProjectManagerWindow::handleScreencap);
        connect(mainWindow, &ProjectManagerWindow::signal_screencap_rect, window,
                &RemoteScreenDialog::slot_screencap_rect);
    }
    showNotice(this, QStringLiteral("连接成功，开启远程屏幕！"));
    if (pollTimer == 0)
        pollTimer = startTimer(100);
}

void RemoteConnectInfoInputDialog::on_pbCancel_clicked()
{
    close();
}

void RemoteConnectInfoInputDialog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != pollTimer) {
        QDialog::timerEvent(event);
        return;
    }
    if (lastRemoteScreenDialog && !lastRemoteScreenDialog->isFirstFrameShown())
        return;
    killTimer(pollTimer);
    pollTimer = 0;
    if (!lastRemoteScreenDialog)
        return; // released meanwhile
    lastRemoteScreenDialog->show();
    accept();
}
