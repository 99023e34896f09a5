// kestrun-run: runs a project's scripts on this machine against a device (or the simulated
// one), as the IDE's "本地运行" does: for trying scripts from a shell and in pipelines.
#include "common/BuildInfo.h"
#include "common/Names.h"
#include "common/Platform.h"
#include "device/DeviceAddress.h"
#include "device/PCClientControllor.h"
#include "runner/DapServer.h"
#include "runner/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// The manual page (kestrun-run.1) follows this text.
const char kUsage[] =
    "Usage: kestrun-run PROJECT_DIR --device HOST[:PORT] [--timeout SECONDS]\n"
    "       kestrun-run --dap\n"
    "Runs the scripts of a Kestrun project on this machine against the device at HOST (control\n"
    "port PORT, 7000 when not given): main.script, then createUI() and main() when it defines\n"
    "them. Touches and keys go to the device, colours and image searches are answered from its\n"
    "screen. What the scripts log goes to standard output; errors, as \"path:line: message\",\n"
    "to standard error.\n"
    "With --dap it is a debug adapter: it speaks the Debug Adapter Protocol on standard input\n"
    "and output, and a debug client launches the scripts with the arguments \"project\" and\n"
    "\"device\".\n"
    "\n"
    "Options:\n"
    "  --device HOST[:PORT]  the device (or kestrun-device-sim) to run against\n"
    "  --timeout SECONDS     stop the scripts after this long\n"
    "  --dap                 debug the scripts through the Debug Adapter Protocol\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status: 0 main() returned (or the script called exit()), 1 a script error or the\n"
    "timeout, 2 the device cannot be reached or was lost, 3 wrong arguments.";

int usage()
{
    print(stderr, QString::fromUtf8(kUsage));
    return 3;
}

// The Debug Adapter Protocol on standard input and output. The client's bytes are read on a
// thread of their own, in blocking reads, and handed to the server here.
int serveDap(QCoreApplication &app)
{
    Platform::useBinaryStandardStreams();
    DapServer server([](const QByteArray &message) {
        std::fwrite(message.constData(), 1, size_t(message.size()), stdout);
        std::fflush(stdout);
    });
    QObject::connect(&server, &DapServer::signal_log, [](const QString &line) { print(stderr, line); });
    QObject::connect(&server, &DapServer::signal_ended, &app, [&app](int code) { app.exit(code); });
    std::thread([&server] {
        QByteArray chunk(64 * 1024, Qt::Uninitialized);
        for (qint64 got; (got = Platform::readStandardInput(chunk.data(), chunk.size())) > 0;) {
            const QByteArray bytes = chunk.left(int(got));
            QMetaObject::invokeMethod(&server, [&server, bytes] { server.receive(bytes); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(&server, [&server] { server.inputEnded(); }, Qt::QueuedConnection);
    }).detach();
    const int code = app.exec();
    // The reader may still wait in its read and must not outlive the server: leave at once, the
    // run being over and its files written.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));

    QString directory;
    QString address;
    int timeoutSeconds = 0;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help")) {
            print(stdout, QString::fromUtf8(kUsage));
            return 0;
        }
        if (argument == QLatin1String("--version")) {
            print(stdout, QStringLiteral("kestrun-run ") + QString::fromUtf8(BuildInfo::kVersion));
            return 0;
        }
        if (argument == QLatin1String("--dap"))
            return arguments.size() == 1 ? serveDap(app) : usage();
        if ((argument == QLatin1String("--device") || argument == QLatin1String("--timeout")) && i + 1 < arguments.size()) {
            const QString value = arguments[++i];
            if (argument == QLatin1String("--device")) {
                address = value;
            } else {
                bool ok = false;
                timeoutSeconds = value.toInt(&ok);
                if (!ok || timeoutSeconds <= 0)
                    return usage();
            }
        } else if (argument.startsWith(QLatin1Char('-')) || !directory.isEmpty()) {
            return usage();
        } else {
            directory = argument;
        }
    }
    const Result<DeviceAddress> device = DeviceAddress::parse(address);
    if (directory.isEmpty() || !device)
        return usage();

    const QString projectDirectory = QFileInfo(directory).absoluteFilePath();
    if (!QFileInfo(projectDirectory + QLatin1Char('/') + Names::projectFile()).isFile()) {
        print(stderr, QStringLiteral("错误：[%1]不是工程目录（缺少%2）。").arg(QDir::toNativeSeparators(directory), Names::projectFile()));
        return 1;
    }

    PCClientControllor controller;
    if (!controller.connectToDevice(device->host, device->port)) {
        print(stderr, QStringLiteral("错误：无法连接设备%1:%2。").arg(device->host).arg(device->port));
        return 2;
    }
    ScriptRunner runner(controller);
    bool timedOut = false;
    const auto printOutput = [&runner] {
        const QString lines = runner.takeOutput();
        if (!lines.isEmpty())
            print(stdout, lines);
    };
    QObject::connect(&runner, &ScriptRunner::signal_output, &app, printOutput);
    QObject::connect(&runner, &ScriptRunner::signal_finished, &app,
                     [&](ScriptRunner::Outcome outcome, const QStringList &error) {
                         printOutput();
                         for (const QString &line : error)
                             print(stderr, line);
                         switch (outcome) {
                         case ScriptRunner::Outcome::Finished:
                             app.exit(0);
                             break;
                         case ScriptRunner::Outcome::DeviceLost:
                             app.exit(2);
                             break;
                         case ScriptRunner::Outcome::Stopped:
                             if (timedOut)
                                 print(stderr, QStringLiteral("错误：运行超过%1秒，已停止。").arg(timeoutSeconds));
                             app.exit(1);
                             break;
                         case ScriptRunner::Outcome::ScriptError:
                             app.exit(1);
                             break;
                         }
                     });
    if (const Status started = runner.start(projectDirectory); !started) {
        print(stderr, QStringLiteral("错误：") + started.error());
        return 1;
    }
    if (timeoutSeconds > 0) {
        QTimer::singleShot(qint64(timeoutSeconds) * 1000, &app, [&] {
            timedOut = true;
            runner.stop();
        });
    }
    return app.exec();
}
