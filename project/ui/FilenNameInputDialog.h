#pragma once

#include "common/Result.h"

#include <QDialog>

namespace Ui {
class FilenNameInputDialog;
}

// Asks for the name of a new script file or directory in the project tree.
class FilenNameInputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FilenNameInputDialog(QWidget *parent = nullptr);
    ~FilenNameInputDialog() override;

    QString fileName() const; // untrimmed
    void clearFileName();
    // Fails with the reason the typed text cannot be used as a name.
    static Status validate(const QString &text);

signals:
    // Never emitted: the caller reads fileName() after exec().
    void signal_input_filename(QString &filename);

private slots:
    void on_pbOk_clicked();

private:
    Ui::FilenNameInputDialog *ui;
};
