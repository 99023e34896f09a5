#pragma once

#include <QDialog>

class PCClientControllor;

namespace Ui {
class ConnectionManagerDialog;
}

// Shows whether the shared control connection is open, and opens or closes it by hand.
class ConnectionManagerDialog : public QDialog
{
    Q_OBJECT

public:
    // address pre-fills the address field: the one last entered in any device dialog.
    ConnectionManagerDialog(PCClientControllor &controller, const QString &address, QWidget *parent = nullptr);
    ~ConnectionManagerDialog() override;

    Ui::ConnectionManagerDialog *form() const { return ui; }

signals:
    // An address was entered and a connection to it is being tried.
    void signal_addressEntered(const QString &address);

public slots:
    void on_pbOP_clicked();

private:
    void showConnected(bool connected);

    PCClientControllor &controller;
    Ui::ConnectionManagerDialog *ui;
};
