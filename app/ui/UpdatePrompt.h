#pragma once

#include <QString>

// The question box of the update check, shown before the main window exists.
class UpdatePrompt
{
public:
    // Shows the offer's description; true when the author chooses Yes.
    static bool ask(const QString &description);
};

// Runs the update check; ends the process with status 0 when the author takes the update, or
// declines one the server forces. Called by main before the main window is created.
void checkForUpdate();
