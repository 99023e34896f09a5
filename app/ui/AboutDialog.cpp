#include "app/ui/AboutDialog.h"

#include "app/AppInfo.h"
#include "ui_AboutDialog.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    ui->labVersion->setText(QString::fromUtf8(AppInfo::kVersion));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
