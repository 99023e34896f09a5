#include "editor/ui/ReplacePreviewDialog.h"

#include "ui_ReplacePreviewDialog.h"

#include <QPushButton>

ReplacePreviewDialog::ReplacePreviewDialog(const ProjectReplace::Plan &plan, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ReplacePreviewDialog)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("替换"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    ui->labSummary->setText(QStringLiteral("将把“%1”替换为“%2”，共%3处（%4个文件）。打开的脚本在编辑器中替换（可撤销），"
                                           "其余文件直接写入磁盘。")
                                .arg(plan.pattern, plan.replacement)
                                .arg(plan.total)
                                .arg(plan.files.size()));
    int listed = 0;
    for (const ProjectReplace::File &file : plan.files) {
        auto *fileItem = new QTreeWidgetItem(ui->twChanges, {QStringLiteral("%1（%2处%3）")
                                                                 .arg(file.path)
                                                                 .arg(file.count)
                                                                 .arg(file.open ? QStringLiteral("，已打开") : QString())});
        for (const ProjectReplace::Change &change : file.changes)
            new QTreeWidgetItem(fileItem, {QString::number(change.line), change.before, change.after});
        listed += file.changes.size();
        fileItem->setFirstColumnSpanned(true);
        fileItem->setExpanded(true);
    }
    if (plan.cut)
        new QTreeWidgetItem(ui->twChanges, {QStringLiteral("……只列出前%1行改动").arg(listed)});
    ui->twChanges->resizeColumnToContents(0);
    ui->twChanges->setColumnWidth(1, 280);
    if (plan.passedOver.isEmpty())
        ui->labPassedOver->hide();
    else
        ui->labPassedOver->setText(QStringLiteral("以下文件不会替换：\n") + plan.passedOver.join(QLatin1Char('\n')));
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(plan.total > 0);
}

ReplacePreviewDialog::~ReplacePreviewDialog()
{
    delete ui;
}
