#include "app/ProcessObjects.h"

#include "device/PCClientControllor.h"

#include <QCoreApplication>

// Made before main runs, never by a static destructor after the application object is gone:
// the application object's destructor runs its post routines first, while the socket and the
// receiver thread can still be ended properly.
PCClientControllor &deviceController = *[] {
    auto *controller = new PCClientControllor;
    qAddPostRoutine([] { delete &deviceController; });
    return controller;
}();
QString rememberedDeviceAddress;
