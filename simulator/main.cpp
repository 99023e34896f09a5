// kestrun-device-sim: a simulated Kestrun device for trying the IDE without a phone.
#include "common/BuildInfo.h"
#include "simulator/SimOptions.h"
#include "simulator/SimulatedDevice.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only an async-signal-safe write here; the event loop picks the byte up and quits.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void printLine(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
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

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("kestrun-device-sim: socketpair");
        return 1;
    }
    QSocketNotifier quitNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    int status = 0;
    {
        SimulatedDevice device(options);
        QObject::connect(&device, &SimulatedDevice::signal_event, &app, printLine);
        const Status started = device.start();
        if (!started) {
            std::fprintf(stderr, "kestrun-device-sim: %s\n", started.error().toUtf8().constData());
            return 1;
        }
        status = app.exec();
    }
    printLine(QStringLiteral("stopped"));
    return status;
}
