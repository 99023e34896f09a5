#include "PickerWindow.h"

#include <QLineEdit>

PickerWindow::PickerWindow(const QImage &image, int quarterTurns)
{
    show(image, quarterTurns);
    panel->move(0, picture->height());
    panel->setPicture(picture);
    window.show();
}

void PickerWindow::show(const QImage &image, int quarterTurns)
{
    const ShownPicture shown(image, quarterTurns);
    picture->setPicture(shown);
    picture->setGeometry(QRect(QPoint(0, 0), shown.size()));
}

QString PickerWindow::text(const QString &name) const
{
    return window.findChild<QLineEdit *>(name)->text();
}

QPixmap PickerWindow::shown(const QString &name) const
{
    return window.findChild<QLabel *>(name)->pixmap(Qt::ReturnByValue);
}

QStringList PickerWindow::readout() const
{
    return {text("lePos"), text("leColor"), text("leRed"), text("leGreen"), text("leBlue")};
}

QStringList PickerWindow::row(int n) const
{
    const QString s = QString::number(n);
    return {text("leBufPoint" + s), text("leBufColor" + s), text("leBufR" + s), text("leBufG" + s), text("leBufB" + s)};
}

QString PickerWindow::check(int n) const
{
    return window.findChild<QLabel *>("labBufCheck" + QString::number(n))->text();
}
