// kestrun-device-sim: a simulated Kestrun device for trying the IDE without a phone.
#include "common/BuildInfo.h"
#include "common/Platform.h"
#include "simulator/SimOptions.h"
#include "simulator/SimulatedDevice.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    Platform::printLine(stdout, line);
}

void printError(const QString &error)
{
    Platform::printLine(stderr, QStringLiteral("kestrun-device-sim: ") + error);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Result<SimOptions> parsed = SimOptions::parse(app.arguments().mid(1));
    if (!parsed) {
        std::fprintf(stderr, "kestrun-device-sim: %s\n\n%s", parsed.error().toUtf8().constData(),
                     SimOptions::usage().toUtf8().constData());
        return 2;
    }
    const SimOptions &options = *parsed;
    if (options.help) {
        std::fputs(SimOptions::usage().toUtf8().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kestrun-device-sim %s\n", BuildInfo::kVersion);
        return 0;
    }

    // Ctrl+C stops it cleanly.
    const Status interruptible = Platform::quitOnInterrupt(app);
    if (!interruptible) {
        printError(interruptible.error());
        return 1;
    }

    int status = 0;
    {
        SimulatedDevice device(options);
        QObject::connect(&device, &SimulatedDevice::signal_event, &app, printLine);
        const Status started = device.start();
        if (!started) {
            printError(started.error());
            return 1;
        }
        status = app.exec();
    }
    printLine(QStringLiteral("stopped"));
    return status;
}
