#include "project/ui/FilenNameInputDialog.h"

#include "common/Names.h"
#include "common/ui/Notice.h"
#include "project/NameRules.h"
#include "ui_FilenNameInputDialog.h"


FilenNameInputDialog::FilenNameInputDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FilenNameInputDialog)
{
    ui->setupUi(this);
    // Typing a name in front of the preset suffix gives a script file name.
    ui->leFileName->setText(Names::scriptSuffix());
    ui->leFileName->setCursorPosition(0);
}

FilenNameInputDialog::~FilenNameInputDialog()
{
    delete ui;
}

QString FilenNameInputDialog::fileName() const
{
    return ui->leFileName->text();
}

void FilenNameInputDialog::clearFileName()
{
    ui->leFileName->clear();
}

void FilenNameInputDialog::setFileName(const QString &name, int selected)
{
    ui->leFileName->setText(name);
    ui->leFileName->setSelection(0, selected);
}

Status FilenNameInputDialog::validate(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == Names::scriptSuffix())
        return fail(QStringLiteral("名称不能为空。"));
    return NameRules::check(text);
}

void FilenNameInputDialog::on_pbOk_clicked()
{
    Status valid = validate(fileName());
    if (valid && okAction)
        valid = okAction(fileName());
    if (!valid) {
        showNotice(nullptr, valid.error());
        ui->leFileName->setFocus();
        return;
    }
    accept();
}
