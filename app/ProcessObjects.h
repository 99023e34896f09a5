#pragma once

#include <QString>

class PCClientControllor;

// The device-link state every device dialog shares; the main window hands it to them.

// The one controller of the process. It is made during static initialisation (before the
// application object) and released by a post routine of the application object's destructor,
// so its socket and receiver thread end while Qt is still up.
extern PCClientControllor &deviceController;
// The address last entered in any device dialog; they all pre-fill their address field with it.
extern QString rememberedDeviceAddress;
