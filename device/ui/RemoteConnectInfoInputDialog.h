#pragma once

#include <QDialog>

namespace Ui {
class RemoteConnectInfoInputDialog;
}

// Asks for the device's address and control port for the remote screen. "连接" hands them to
// whoever opens the screen, which accepts the dialog once it has, or leaves it open to be
// corrected.
class RemoteConnectInfoInputDialog : public QDialog
{
    Q_OBJECT

public:
    // address pre-fills the address field.
    explicit RemoteConnectInfoInputDialog(const QString &address, QWidget *parent = nullptr);
    ~RemoteConnectInfoInputDialog() override;

    Ui::RemoteConnectInfoInputDialog *form() const { return ui; }

signals:
    // "连接" was pressed: the address and the port (0 when the field holds no number).
    void signal_connect(const QString &address, int port);

public slots:
    void on_pbConnect_clicked();
    void on_pbCancel_clicked();

private:
    Ui::RemoteConnectInfoInputDialog *ui;
};
