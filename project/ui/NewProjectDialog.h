#pragma once

#include "common/Result.h"

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
    // Fails with the first reason the typed values cannot be accepted.
    static Status validate(const QString &name, const QString &description);

private slots:
    void on_pbOK_clicked();
    void on_pbCancel_clicked();

private:
    Ui::NewProjectDialog *ui;
};
