#pragma once

#include <QDialog>

namespace Ui {
class SearchDialog;
}

// Collects the search text, the replacement and the options and sends them to the main
// window, which searches the editor and answers with the status line shown under the buttons.
class SearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SearchDialog(QWidget *parent = nullptr);
    ~SearchDialog() override;

    // Puts a text to look for into the field, selected, ready to be searched or typed over;
    // escaped when the field holds a regular expression.
    void setSearchText(const QString &text);

signals:
    void signal_search(QString expr, bool re, bool cs, bool wo, bool wrap);
    void signal_replace(QString expr, QString repText, bool re, bool cs, bool wo, bool wrap);
    void signal_replaceAll(QString expr, QString repText, bool re, bool cs, bool wo, bool wrap);

public slots:
    void on_pbSearch_clicked();
    void slot_search_return(QString ret);
    void on_pbReplace_clicked();
    void on_pbReplaceAll_clicked();

private:
    Ui::SearchDialog *ui;
};
