#pragma once

#include "common/Result.h"

#include <QString>

class PCClientControllor;

// A remote import: a built package read whole from disk and sent to the device in one import
// message over the control connection.
class ScriptImport
{
public:
    // Sends the file under its own name (without directory). Fails for a missing or unreadable
    // file, one too large for the message's size field or a name the device cannot take
    // (nothing is sent then), and for a send that failed.
    static Status send(PCClientControllor &controller, const QString &path);
};
