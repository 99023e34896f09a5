#include "device/ui/RemoteConnectInfoInputDialog.h"

#include "common/ui/Notice.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "ui_RemoteConnectInfoInputDialog.h"

#include <QTimerEvent>

RemoteConnectInfoInputDialog::RemoteConnectInfoInputDialog(PCClientControllor &controller, const QString &address,
                                                           RemoteScreenDialog *earlier, QWidget *parent)
    : QDialog(parent)
    , controller(controller)
    , ui(new Ui::RemoteConnectInfoInputDialog)
    , earlier(earlier)
{
    ui->setupUi(this);
    ui->leIP->setText(address);
}

RemoteConnectInfoInputDialog::~RemoteConnectInfoInputDialog()
{
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
    retire(made);
    retire(earlier);

    emit signal_addressEntered(address);
    made = new RemoteScreenDialog(controller, parentWidget());
    emit signal_windowMade(made);
    if (!made->initRemoteScreen(address, port)) {
        showNotice(this, QStringLiteral("远程设备管理器启动失败，请确认ip地址是否正确！"));
        return;
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
    if (made && !made->isFirstFrameShown())
        return;
    killTimer(pollTimer);
    pollTimer = 0;
    if (!made)
        return; // released meanwhile
    made->show();
    accept();
}
