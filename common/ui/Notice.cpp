#include "common/ui/Notice.h"

#include "common/Names.h"

#include <QMessageBox>

void showNotice(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, Names::noticeTitle(), text, QMessageBox::Ok);
}
