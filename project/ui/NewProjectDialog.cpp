#include "project/ui/NewProjectDialog.h"

#include "project/NameRules.h"
#include "ui_NewProjectDialog.h"

#include <QMessageBox>

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

QString NewProjectDialog::validate(const QString &name, const QString &description)
{
    if (name.isEmpty())
        return QStringLiteral("工程名称不能为空！");
    if (name.size() > 40)
        return QStringLiteral("工程名称不能超过40个字符！");
    if (description.size() > 100)
        return QStringLiteral("工程描述不能超过100个字符！");
    return NameRules::problem(name);
}

void NewProjectDialog::on_pbOK_clicked()
{
    const QString problem = validate(projectName(), projectDescription());
    if (!problem.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("提示"), problem, QMessageBox::Ok);
        return;
    }
    accept();
}

void NewProjectDialog::on_pbCancel_clicked()
{
    reject();
}
