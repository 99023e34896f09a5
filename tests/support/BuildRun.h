#pragma once

class ProjectManagerWindow;

// Runs F5, or F6 when package is true, from the window's menu to its end, as the author would;
// whether it succeeded. The output pane shows all of its lines afterwards.
bool runBuild(ProjectManagerWindow &window, bool package = false);
