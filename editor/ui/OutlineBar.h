#pragma once

#include "project/ScriptFacts.h"

#include <QStringListModel>
#include <QWidget>

namespace Ui {
class OutlineBar;
}

// The functions of the current script in a drop-down above it, nested ones indented: the one
// around the caret is shown as the caret moves, and choosing one puts the caret at its line.
class OutlineBar : public QWidget
{
    Q_OBJECT

public:
    explicit OutlineBar(QWidget *parent = nullptr);
    ~OutlineBar() override;

    // The functions of the script shown; none for a script not analysed yet.
    void setFunctions(const ScriptFacts &facts);
    void clear();
    // The caret is on this line (from 1).
    void follow(int line);
    // Opens the list, for the keyboard.
    void popup();
    // The functions listed, and what the drop-down shows now.
    int count() const;
    QString currentText() const;

signals:
    void signal_goTo(int line);

private:
    Ui::OutlineBar *ui;
    QStringListModel names;
    ScriptFacts shown;
};
