#include "device/ui/ConnectionManagerDialog.h"

#include "common/ui/Notice.h"
#include "device/PCClientControllor.h"
#include "ui_ConnectionManagerDialog.h"


ConnectionManagerDialog::ConnectionManagerDialog(PCClientControllor &controller, const QString &address,
                                                 QWidget *parent)
    : QDialog(parent)
    , controller(controller)
    , ui(new Ui::ConnectionManagerDialog)
{
    ui->setupUi(this);
    ui->leIP->setText(address);
    showConnected(controller.isConnected());
}

ConnectionManagerDialog::~ConnectionManagerDialog()
{
    delete ui;
}

void ConnectionManagerDialog::showConnected(bool connected)
{
    ui->labStatus->setText(connected ? tr("<font color=green>已连接</font>") : tr("<font color=red>未连接</font>"));
    ui->leIP->setEnabled(!connected);
    ui->pbOP->setText(connected ? tr("断开") : tr("连接"));
}

// Acts on the connection as it is now, whatever the dialog showed: the device may have closed
// it meanwhile.
void ConnectionManagerDialog::on_pbOP_clicked()
{
    if (controller.isConnected()) {
        controller.disconnectFromDevice();
        showConnected(false);
        return;
    }
    const QString address = ui->leIP->text();
    if (address.isEmpty()) {
        showNotice(this, QStringLiteral("IP地址不能为空！"));
        return;
    }
    emit signal_addressEntered(address);
    if (!controller.connectToDevice(address, PCClientControllor::kStandardPort)) {
        showNotice(this, QStringLiteral("连接失败，请确认远程设备是否已运行Kestrun或者IP地址是否正确！"));
        showConnected(false);
        return;
    }
    showConnected(true);
}
