#pragma once

#include "editor/ProblemList.h"

#include <QWidget>

namespace Ui {
class ProblemsPane;
}

// The problems pane ("问题"), a tab beside the output panes: the problems of the active project
// as a table, their count on the tab. A double-click (or Enter) on one leads to its place.
class ProblemsPane : public QWidget
{
    Q_OBJECT

public:
    explicit ProblemsPane(QWidget *parent = nullptr);
    ~ProblemsPane() override;

    ProblemList &problems() { return list; }

signals:
    void signal_activated(const Diagnostic &place);

private:
    void showCount(int count);

    Ui::ProblemsPane *ui;
    ProblemList list;
};
