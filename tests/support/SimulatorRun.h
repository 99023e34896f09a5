#pragma once

#include "simulator/SimOptions.h"
#include "simulator/SimulatedDevice.h"

#include <QStringList>

#include <memory>

// The simulated device run in-process over loopback, with every event it reports kept in order.
struct SimulatorRun
{
    SimulatedDevice device;
    const QString address; // where it listens
    QStringList events;

    explicit SimulatorRun(const SimOptions &options);
    // Starts listening; a failure is told as a warning with its reason.
    bool start();

    // A small, fast screen on a free port: 36 x 64 at 200 frames a second.
    static SimOptions options();
    // Started on port 7000, which the import dialog and the connection manager always use, at
    // a loopback address of its own (127.x.y.z), so that parallel test runs and a simulated
    // device already on 127.0.0.1:7000 do not collide. Null when no address could be had.
    static std::unique_ptr<SimulatorRun> onStandardPort(SimOptions options);
    // Loopback addresses where nothing listens on port 7000; n tells them apart.
    static QString silentAddress(int n = 0);
};
