#pragma once

#include "runner/DebugData.h"

#include <QVector>
#include <QWidget>

class QTreeView;
class QTreeWidget;
class VariableModel;
class WatchModel;

namespace Ui {
class DebugPanes;
}

// The debugger's panes, one above the other: the call stack (a double-click or Enter chooses a
// frame), the values of the frame chosen and the watch expressions (typed in the last row; F2
// edits one, Delete removes the rows chosen).
class DebugPanes : public QWidget
{
    Q_OBJECT

public:
    DebugPanes(VariableModel &variables, WatchModel &watches, QWidget *parent = nullptr);
    ~DebugPanes() override;

    // The frames of a pause, innermost first, the one chosen marked; none clears the pane.
    void showFrames(const QVector<DebugFrame> &frames, int chosen);

    QTreeWidget *callStack() const;
    QTreeView *variablesView() const;
    QTreeView *watchView() const;

signals:
    void signal_frameChosen(int frame);

private:
    void removeChosenWatches();

    Ui::DebugPanes *ui;
    WatchModel &watchModel;
};
