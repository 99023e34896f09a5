#pragma once

#include <QDialog>

namespace Ui {
class NewProjectDialog;
}

class NewProjectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit NewProjectDialog(QWidget *parent = nullptr);
    ~NewProjectDialog() override;

    QString projectName() const;
    QString projectDescription() const;
    // The first reason the typed values cannot be accepted, or "".
    static QString validate(const QString &name, const QString &description);

private slots:
    void on_pbOK_clicked();
    void on_pbCancel_clicked();

private:
    Ui::NewProjectDialog *ui;
};
