#include "editor/ui/SearchDialog.h"

#include "editor/ui/ScriptSearch.h"
#include "ui_SearchDialog.h"

SearchDialog::SearchDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SearchDialog)
{
    ui->setupUi(this);
}

SearchDialog::~SearchDialog()
{
    delete ui;
}

void SearchDialog::setSearchText(const QString &text)
{
    ui->leText->setText(ui->cbIsReg->isChecked() ? ScriptSearch::escaped(text) : text);
    ui->leText->selectAll();
    ui->leText->setFocus();
}

void SearchDialog::on_pbSearch_clicked()
{
    emit signal_search(ui->leText->text(), ui->cbIsReg->isChecked(), ui->cbCaseSensitive->isChecked(),
                       ui->cbMatchWordOnly->isChecked(), ui->cbSearchLoop->isChecked());
}

void SearchDialog::on_pbReplace_clicked()
{
    emit signal_replace(ui->leText->text(), ui->leRepText->text(), ui->cbIsReg->isChecked(),
                        ui->cbCaseSensitive->isChecked(), ui->cbMatchWordOnly->isChecked(),
                        ui->cbSearchLoop->isChecked());
}

void SearchDialog::on_pbReplaceAll_clicked()
{
    emit signal_replaceAll(ui->leText->text(), ui->leRepText->text(), ui->cbIsReg->isChecked(),
                           ui->cbCaseSensitive->isChecked(), ui->cbMatchWordOnly->isChecked(),
                           ui->cbSearchLoop->isChecked());
}

void SearchDialog::slot_search_return(QString ret)
{
    ui->labTip->setText(ret);
}
