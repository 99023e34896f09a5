#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

void ModalAnswerer::whenModal(std::function<bool(QWidget *)> accept, Action action, int timeoutMs)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, accept, action, timeoutMs]() {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && accept(modal);
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (found)
            action(modal);
        else
            qWarning("ModalAnswerer: no matching modal widget appeared");
    });
    timer->start();
}

void ModalAnswerer::answerMessageBox(QMessageBox::StandardButton button, QString *title, QString *text, int timeoutMs)
{
    whenDialog<QMessageBox>(
        [button, title, text](QMessageBox *box) {
            if (title)
                *title = box->windowTitle();
            if (text)
                *text = box->text();
            if (QAbstractButton *b = box->button(button))
                b->click();
            else
                box->reject();
        },
        timeoutMs);
}
