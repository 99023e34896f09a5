#include "project/ui/FilenNameInputDialog.h"

#include "project/NameRules.h"
#include "ui_FilenNameInputDialog.h"

#include <QMessageBox>

FilenNameInputDialog::FilenNameInputDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FilenNameInputDialog)
{
    ui->setupUi(this);
    // Typing a name in front of the preset suffix gives a script file name.
    ui->leFileName->setText(QStringLiteral(".script"));
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

QString FilenNameInputDialog::validate(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String(".script"))
        return QStringLiteral("名称不能为空。");
    return NameRules::problem(text);
}

void FilenNameInputDialog::on_pbOk_clicked()
{
    const QString problem = validate(fileName());
    if (!problem.isEmpty()) {
        QMessageBox::information(nullptr, QStringLiteral("提示"), problem, QMessageBox::Ok);
        return;
    }
    accept();
}
