#pragma once

#include <QLabel>

class QAction;
class RunCommands;

// A script run as the main window shows it: while it goes, the menu's "本地运行" turns into
// "停止运行" and this label, in the status line, names the running project.
class RunIndicator : public QLabel
{
    Q_OBJECT

public:
    RunIndicator(const RunCommands &runs, QAction *run, QAction *stop, QWidget *parent = nullptr);
};
