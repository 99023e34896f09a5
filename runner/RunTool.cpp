// kestrun-run: runs a project's scripts on this machine against a device (or the simulated
// one), as the IDE's "本地运行" does: for trying scripts from a shell and in pipelines.
#include "common/BuildInfo.h"
#include "common/Names.h"
#include "device/PCClientControllor.h"
#include "runner/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>

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
    "Runs the scripts of a Kestrun project on this machine against the device at HOST (control\n"
    "port PORT, 7000 when not given): main.script, then createUI() and main() when it defines\n"
    "them. Touches and keys go to the device, colours and image searches are answered from its\n"
    "screen. What the scripts log goes to standard output; errors, as \"path:line: message\",\n"
    "to standard error.\n"
    "\n"
    "Options:\n"
    "  --device HOST[:PORT]  the device (or kestrun-device-sim) to run against\n"
    "  --timeout SECONDS     stop the scripts after this long\n"
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

// HOST, HOST:PORT or [IPv6]:PORT.
bool parseAddress(const QString &text, QString *host, int *port)
{
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        *host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        *host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
    } else {
        *host = text;
    }
    *port = PCClientControllor::kStandardPort;
    if (!portText.isNull()) {
        bool ok = false;
        *port = portText.toInt(&ok);
        if (!ok || *port <= 0 || *port > 65535)
            return false;
    }
    return !host->isEmpty();
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
    QString host;
    int port = 0;
    if (directory.isEmpty() || address.isEmpty() || !parseAddress(address, &host, &port))
        return usage();

    const QString projectDirectory = QFileInfo(directory).absoluteFilePath();
    if (!QFileInfo(projectDirectory + QLatin1Char('/') + Names::projectFile()).isFile()) {
        print(stderr, QStringLiteral("错误：[%1]不是工程目录（缺少%2）。").arg(QDir::toNativeSeparators(directory), Names::projectFile()));
        return 1;
    }

    PCClientControllor controller;
    if (!controller.connectToDevice(host, port)) {
        print(stderr, QStringLiteral("错误：无法连接设备%1:%2。").arg(host).arg(port));
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
