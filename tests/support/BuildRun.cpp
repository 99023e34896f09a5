#include "BuildRun.h"

#include "app/ui/BuildCommands.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "ui_ProjectManagerWindow.h"

#include <QSignalSpy>

bool runBuild(ProjectManagerWindow &window, bool package)
{
    QSignalSpy finished(&window.builds(), &BuildCommands::signal_finished);
    (package ? window.form()->compile_project_action : window.form()->syntax_check_action)->trigger();
    const bool ended = !finished.isEmpty() || finished.wait(60000);
    window.form()->outText->flush();
    return ended && finished.first().first().toBool();
}
