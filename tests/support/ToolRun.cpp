#include "ToolRun.h"

#include <QProcess>

ToolRun ToolRun::of(const QStringList &command, int timeoutMs)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    ToolRun run;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    process.kill();
    process.waitForFinished();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

ToolRun ToolRun::build(const QStringList &arguments)
{
    return of(QStringList{QStringLiteral(KESTRUN_BUILD_TOOL)} + arguments);
}
