#include "device/ui/RemoteConnectInfoInputDialog.h"

#include "ui_RemoteConnectInfoInputDialog.h"

RemoteConnectInfoInputDialog::RemoteConnectInfoInputDialog(const QString &address, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::RemoteConnectInfoInputDialog)
{
    ui->setupUi(this);
    ui->leIP->setText(address);
}

RemoteConnectInfoInputDialog::~RemoteConnectInfoInputDialog()
{
    delete ui;
}

void RemoteConnectInfoInputDialog::on_pbConnect_clicked()
{
    emit signal_connect(ui->leIP->text(), ui->lePort->text().toInt()); // not a number: 0
}

void RemoteConnectInfoInputDialog::on_pbCancel_clicked()
{
    close();
}
