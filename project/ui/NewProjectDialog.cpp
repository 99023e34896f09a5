#include "project/ui/NewProjectDialog.h"

#include "common/ui/Notice.h"
#include "project/NameRules.h"
#include "ui_NewProjectDialog.h"


NewProjectDialog::NewProjectDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::NewProjectDialog)
{
    ui->setupUi(this);
}

NewProjectDialog::~NewProjectDialog()
{
    delete ui;
}

QString NewProjectDialog::projectName() const
{
    return ui->leProjectName->text();
}

QString NewProjectDialog::projectDescription() const
{
    return ui->teProjectDesc->toPlainText();
}

Status NewProjectDialog::validate(const QString &name, const QString &description)
{
    if (name.isEmpty())
        return fail(QStringLiteral("工程名称不能为空！"));
    if (name.size() > 40)
        return fail(QStringLiteral("工程名称不能超过40个字符！"));
    if (description.size() > 100)
        return fail(QStringLiteral("工程描述不能超过100个字符！"));
    return NameRules::check(name);
}

void NewProjectDialog::on_pbOK_clicked()
{
    const Status valid = validate(projectName(), projectDescription());
    if (!valid) {
        showNotice(this, valid.error());
        return;
    }
    accept();
}

void NewProjectDialog::on_pbCancel_clicked()
{
    reject();
}
