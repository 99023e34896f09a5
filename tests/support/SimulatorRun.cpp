#include "SimulatorRun.h"

#include <QCoreApplication>

namespace {

QString loopback(int attempt)
{
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("127.%1.%2.%3").arg(1 + pid % 250).arg((pid / 250) % 250).arg(2 + attempt);
}

} // namespace

SimulatorRun::SimulatorRun(const SimOptions &options)
    : device(options)
    , address(options.listenAddress)
{
    QObject::connect(&device, &SimulatedDevice::signal_event, &device, [this](const QString &line) { events << line; });
}

bool SimulatorRun::start()
{
    const Status started = device.start();
    if (!started)
        qWarning("the simulated device did not start: %s", qPrintable(started.error()));
    return started.ok();
}

SimOptions SimulatorRun::options()
{
    SimOptions options;
    options.port = 0;
    options.width = 36;
    options.height = 64;
    options.fps = 200;
    return options;
}

std::unique_ptr<SimulatorRun> SimulatorRun::onStandardPort(SimOptions options)
{
    options.port = 7000;
    for (int attempt = 0; attempt < 50; ++attempt) {
        options.listenAddress = loopback(attempt);
        auto run = std::make_unique<SimulatorRun>(options);
        if (run->device.start()) // a taken address is no failure: the next is tried
            return run;
    }
    return nullptr;
}

QString SimulatorRun::silentAddress(int n)
{
    return loopback(200 + n);
}
