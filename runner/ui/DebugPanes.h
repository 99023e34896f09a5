#pragma once

#include "runner/DebugData.h"

#include <QObject>
#include <QVector>

class QDockWidget;
class QMainWindow;
class QTreeView;
class QTreeWidget;
class VariableModel;
class WatchModel;

// The debugger's panes, docked at the window's right: the call stack (a double-click or Enter
// chooses a frame), the values of the frame chosen and the watch expressions (typed in the last
// row; Delete removes the rows chosen). The author may move, stack or close them.
class DebugPanes : public QObject
{
    Q_OBJECT

public:
    DebugPanes(QMainWindow &window, VariableModel &variables, WatchModel &watches);

    // The frames of a pause, innermost first, the one chosen marked; none clears the pane.
    void showFrames(const QVector<DebugFrame> &frames, int chosen);
    void setVisible(bool visible);

    QTreeWidget *callStack() const { return stack; }
    QTreeView *variablesView() const { return variables; }
    QTreeView *watchView() const { return watches; }

signals:
    void signal_frameChosen(int frame);

private:
    QDockWidget *dock(QMainWindow &window, const QString &name, const QString &title, QWidget *content);
    void removeChosenWatches();

    QTreeWidget *stack;
    QTreeView *variables;
    QTreeView *watches;
    QVector<QDockWidget *> docks;
};
