#pragma once

#include <QDialog>

namespace Ui {
class ScriptRemoteImportDialog;
}

// Sends a built package (.ks) to the device over the shared control connection, connecting
// first when there is no connection. Progress and failures go out as lines for the output pane.
class ScriptRemoteImportDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ScriptRemoteImportDialog(QWidget *parent = nullptr);
    ~ScriptRemoteImportDialog() override;

    void setScriptPath(const QString &path);
    Ui::ScriptRemoteImportDialog *form() const { return ui; }

signals:
    void out(QString msg);

public slots:
    void on_pbFileSelect_clicked();
    void on_pbImport_clicked();
    void outString(QString msg);

private:
    Ui::ScriptRemoteImportDialog *ui;
};
