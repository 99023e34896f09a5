#pragma once

#include <QLabel>

class QAction;
class RunCommands;

// Script runs as the main window offers them: "本地运行" starts one and, while it goes, turns into
// "停止运行"; this label, in the status line, names the running project meanwhile, and where it
// is paused.
class RunControls : public QLabel
{
    Q_OBJECT

public:
    RunControls(RunCommands &runs, QAction *run, QAction *stop, QWidget *parent = nullptr);
};
