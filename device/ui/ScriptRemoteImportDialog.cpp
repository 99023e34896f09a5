#include "device/ui/ScriptRemoteImportDialog.h"

#include "common/ui/Notice.h"
#include "device/PCClientControllor.h"
#include "device/ScriptImport.h"
#include "ui_ScriptRemoteImportDialog.h"

#include <QDir>
#include <QFileDialog>

ScriptRemoteImportDialog::ScriptRemoteImportDialog(PCClientControllor &controller, const QString &address,
                                                   QWidget *parent)
    : QDialog(parent)
    , controller(controller)
    , ui(new Ui::ScriptRemoteImportDialog)
{
    ui->setupUi(this);
    ui->leIP->setText(address);
}

ScriptRemoteImportDialog::~ScriptRemoteImportDialog()
{
    delete ui;
}

void ScriptRemoteImportDialog::setScriptPath(const QString &path)
{
    ui->leScriptPath->setText(path);
}

void ScriptRemoteImportDialog::on_pbFileSelect_clicked()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open Document"), QDir::currentPath(),
                                                      QStringLiteral("已编译过的二进制脚本(*.ks)"));
    if (!file.isEmpty())
        ui->leScriptPath->setText(file);
}

void ScriptRemoteImportDialog::on_pbImport_clicked()
{
    const QString address = ui->leIP->text();
    const QString path = ui->leScriptPath->text();
    if (address.isEmpty()) {
        showNotice(this, QStringLiteral("请输入远程设备IP"));
        return;
    }
    if (path.isEmpty()) {
        showNotice(this, QStringLiteral("请选择一个要导入的脚本文件"));
        return;
    }
    outString(QStringLiteral("正在连接远程设备..."));
    emit signal_addressEntered(address);
    // An open connection is used whatever address it was opened to.
    if (!controller.isConnected()
        && !controller.connectToDevice(address, PCClientControllor::kStandardPort)) {
        outString(QStringLiteral("远程设备连接失败,请确认IP是否正确..."));
        return;
    }
    outString(QStringLiteral("远程设备连接成功..."));
    outString(QStringLiteral("正在导入脚本..."));
    const Status sent = ScriptImport::send(controller, path);
    if (!sent) {
        // The dialog stays open, so the author can correct the path and try again.
        outString(QStringLiteral("错误：") + sent.error());
        return;
    }
    outString(QStringLiteral("脚本导入完毕..."));
    accept();
}

void ScriptRemoteImportDialog::outString(QString msg)
{
    emit out(msg);
}
