#pragma once

#include <QDialog>
#include <QPointer>

class PCClientControllor;
class RemoteScreenDialog;

namespace Ui {
class RemoteConnectInfoInputDialog;
}

// Asks for the device's address and control port, makes and starts a remote screen window and
// shows it once its first frame is placed. Only one remote screen window ever owns the frames:
// the window of an earlier use, and one this dialog made on an earlier press, are closed and
// released when it makes a new one.
class RemoteConnectInfoInputDialog : public QDialog
{
    Q_OBJECT

public:
    // address pre-fills the address field; earlier is the window of an earlier use, or null.
    RemoteConnectInfoInputDialog(PCClientControllor &controller, const QString &address,
                                 RemoteScreenDialog *earlier, QWidget *parent = nullptr);
    ~RemoteConnectInfoInputDialog() override;

    Ui::RemoteConnectInfoInputDialog *form() const { return ui; }
    // The window this dialog made last, or null.
    RemoteScreenDialog *madeWindow() const { return made; }

signals:
    // An address was entered and a connection to it is being tried.
    void signal_addressEntered(const QString &address);
    // A new window was made; it is started next and shown once its first frame is placed.
    void signal_windowMade(RemoteScreenDialog *window);

public slots:
    void on_pbConnect_clicked();
    void on_pbCancel_clicked();

protected:
    // Polls the new window every 100 ms until its first frame is placed.
    void timerEvent(QTimerEvent *event) override;

private:
    static void retire(RemoteScreenDialog *window);

    PCClientControllor &controller;
    Ui::RemoteConnectInfoInputDialog *ui;
    QPointer<RemoteScreenDialog> earlier; // the window of an earlier use, if any
    QPointer<RemoteScreenDialog> made;    // the window made on the last press, if any
    int pollTimer = 0;
};
