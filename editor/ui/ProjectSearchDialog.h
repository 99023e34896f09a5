#pragma once

#include <QDialog>

namespace Ui {
class ProjectSearchDialog;
}

// Collects the text or regular expression to look for across the active project, its
// replacement and the options, and sends them on: the search runs into the output area, the
// replacement shows its changes first. Answered with the status line under the options (an
// invalid expression, the counts).
class ProjectSearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProjectSearchDialog(QWidget *parent = nullptr);
    ~ProjectSearchDialog() override;

    // Puts a text to look for into the field, selected, ready to be searched or typed over;
    // escaped when the field holds a regular expression.
    void setSearchText(const QString &text);

signals:
    void signal_search(QString expr, bool re, bool cs);
    void signal_replaceAll(QString expr, QString repText, bool re, bool cs);

public slots:
    void on_pbSearch_clicked();
    void on_pbReplaceAll_clicked();
    void slot_search_return(QString ret);

private:
    Ui::ProjectSearchDialog *ui;
};
