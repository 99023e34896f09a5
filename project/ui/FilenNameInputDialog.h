#pragma once

#include "common/Result.h"

#include <QDialog>

#include <functional>

namespace Ui {
class FilenNameInputDialog;
}

// Asks for the name of a new script file or directory in the project tree, or a new name for one.
class FilenNameInputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FilenNameInputDialog(QWidget *parent = nullptr);
    ~FilenNameInputDialog() override;

    QString fileName() const; // untrimmed
    void clearFileName();
    // Starts with a name, its first `selected` characters selected (the part before a suffix).
    void setFileName(const QString &name, int selected);
    // What OK does with an acceptable name. When it fails the author is told why and the
    // dialog stays open with the name, to be changed.
    void setAction(std::function<Status(const QString &name)> action) { okAction = std::move(action); }
    // Fails with the reason the typed text cannot be used as a name.
    static Status validate(const QString &text);

signals:
    // Never emitted: the caller reads fileName() after exec().
    void signal_input_filename(QString &filename);

private slots:
    void on_pbOk_clicked();

private:
    Ui::FilenNameInputDialog *ui;
    std::function<Status(const QString &name)> okAction;
};
