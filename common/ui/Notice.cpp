#include "common/ui/Notice.h"

#include "common/Names.h"

#include <QMessageBox>

void showNotice(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, Names::noticeTitle(), text, QMessageBox::Ok);
}

bool askNotice(QWidget *parent, const QString &text, bool yesIsDefault)
{
    return QMessageBox::information(parent, Names::noticeTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                    yesIsDefault ? QMessageBox::Yes : QMessageBox::No)
        == QMessageBox::Yes;
}
