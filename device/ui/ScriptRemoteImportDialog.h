#pragma once

#include <QDialog>

class PCClientControllor;

namespace Ui {
class ScriptRemoteImportDialog;
}

// Sends a built package (.ks) to the device over the shared control connection, connecting
// first when there is no connection. Progress and failures go out as lines for the output pane.
class ScriptRemoteImportDialog : public QDialog
{
    Q_OBJECT

public:
    // address pre-fills the address field: the one last entered in any device dialog.
    ScriptRemoteImportDialog(PCClientControllor &controller, const QString &address, QWidget *parent = nullptr);
    ~ScriptRemoteImportDialog() override;

    void setScriptPath(const QString &path);
    Ui::ScriptRemoteImportDialog *form() const { return ui; }

signals:
    void out(QString msg);
    // An address was entered and is about to be used.
    void signal_addressEntered(const QString &address);

public slots:
    void on_pbFileSelect_clicked();
    void on_pbImport_clicked();
    void outString(QString msg);

private:
    PCClientControllor &controller;
    Ui::ScriptRemoteImportDialog *ui;
};
