#include "app/ui/RunIndicator.h"

#include "app/ui/RunCommands.h"

#include <QAction>

RunIndicator::RunIndicator(const RunCommands &runs, QAction *run, QAction *stop, QWidget *parent)
    : QLabel(parent)
{
    hide();
    connect(&runs, &RunCommands::signal_runningChanged, this, [this, &runs, run, stop](bool running) {
        run->setVisible(!running);
        stop->setVisible(running);
        setText(runs.statusText());
        setVisible(running);
    });
}
