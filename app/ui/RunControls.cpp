#include "app/ui/RunControls.h"

#include "app/ui/RunCommands.h"
#include "common/ui/Notice.h"

#include <QAction>

RunControls::RunControls(RunCommands &runs, QAction *run, QAction *stop, QWidget *parent)
    : QLabel(parent)
{
    hide();
    connect(run, &QAction::triggered, this, [this, &runs] {
        if (const Status started = runs.run(); !started)
            showNotice(window(), started.error());
    });
    connect(stop, &QAction::triggered, &runs, &RunCommands::stop);
    connect(&runs, &RunCommands::signal_runningChanged, this, [this, &runs, run, stop](bool running) {
        run->setVisible(!running);
        stop->setVisible(running);
        setText(runs.statusText());
        setVisible(running);
    });
    // Where a paused run is, and that it goes on.
    for (const auto said : {&ScriptDebugger::signal_paused, &ScriptDebugger::signal_resumed})
        connect(&runs.debugger(), said, this, [this, &runs] { setText(runs.statusText()); });
}
