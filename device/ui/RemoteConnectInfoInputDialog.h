#pragma once

#include <QDialog>
#include <QPointer>

class RemoteScreenDialog;

namespace Ui {
class RemoteConnectInfoInputDialog;
}

// The remote screen window last made by the connect dialog, or null: the screenshot saver
// names its directories after that window's last frame. Null while a connect dialog is open
// that has not made a window yet.
extern QPointer<RemoteScreenDialog> lastRemoteScreenDialog;

// Asks for the device's address and control port, makes and starts a remote screen window and
// shows it once its first frame is placed. Only one remote screen window ever owns the frames:
// the window of an earlier use is closed and released when this dialog makes a new one.
class RemoteConnectInfoInputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RemoteConnectInfoInputDialog(QWidget *parent = nullptr);
    ~RemoteConnectInfoInputDialog() override;

    Ui::RemoteConnectInfoInputDialog *form() const { return ui; }

public slots:
    void on_pbConnect_clicked();
    void on_pbCancel_clicked();

protected:
    // Polls the new window every 100 ms until its first frame is placed.
    void timerEvent(QTimerEvent *event) override;

private:
    static void retire(RemoteScreenDialog *window);

    Ui::RemoteConnectInfoInputDialog *ui;
    QPointer<RemoteScreenDialog> earlier; // the window of an earlier use, if any
    int pollTimer = 0;
};
