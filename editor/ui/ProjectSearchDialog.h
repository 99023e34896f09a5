#pragma once

#include <QDialog>

namespace Ui {
class ProjectSearchDialog;
}

// Collects the text or regular expression to look for across the active project and its
// options, and sends them to the main window, which runs the search into the output area and
// answers with the status line shown under the options (an invalid expression, the count).
class ProjectSearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProjectSearchDialog(QWidget *parent = nullptr);
    ~ProjectSearchDialog() override;

    // Puts a text to look for into the field, selected, ready to be searched or typed over.
    void setSearchText(const QString &text);

signals:
    void signal_search(QString expr, bool re, bool cs);

public slots:
    void on_pbSearch_clicked();
    void slot_search_return(QString ret);

private:
    Ui::ProjectSearchDialog *ui;
};
