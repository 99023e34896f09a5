#include "editor/ui/ProjectSearchDialog.h"

#include "editor/ui/ScriptSearch.h"
#include "ui_ProjectSearchDialog.h"

ProjectSearchDialog::ProjectSearchDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ProjectSearchDialog)
{
    ui->setupUi(this);
}

ProjectSearchDialog::~ProjectSearchDialog()
{
    delete ui;
}

void ProjectSearchDialog::setSearchText(const QString &text)
{
    ui->leText->setText(ui->cbIsReg->isChecked() ? ScriptSearch::escaped(text) : text);
    ui->leText->selectAll();
    ui->leText->setFocus();
}

void ProjectSearchDialog::on_pbSearch_clicked()
{
    emit signal_search(ui->leText->text(), ui->cbIsReg->isChecked(), ui->cbCaseSensitive->isChecked());
}

void ProjectSearchDialog::on_pbReplaceAll_clicked()
{
    emit signal_replaceAll(ui->leText->text(), ui->leRepText->text(), ui->cbIsReg->isChecked(),
                           ui->cbCaseSensitive->isChecked());
}

void ProjectSearchDialog::slot_search_return(QString ret)
{
    ui->labTip->setText(ret);
}
