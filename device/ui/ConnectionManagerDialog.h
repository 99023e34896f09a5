#pragma once

#include <QDialog>

namespace Ui {
class ConnectionManagerDialog;
}

// Shows whether the shared control connection is open, and opens or closes it by hand.
class ConnectionManagerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionManagerDialog(QWidget *parent = nullptr);
    ~ConnectionManagerDialog() override;

    Ui::ConnectionManagerDialog *form() const { return ui; }

public slots:
    void on_pbOP_clicked();

private:
    void showConnected(bool connected);

    Ui::ConnectionManagerDialog *ui;
};
