#pragma once

#include <QByteArray>
#include <QStringList>

// A program run to its end: what it wrote and how it ended.
struct ToolRun
{
    int exitCode = -1; // -1: killed by a signal, or still running when the time was up
    QByteArray out;
    QByteArray err;

    // command: the program, then its arguments.
    static ToolRun of(const QStringList &command, int timeoutMs = 60000);
    // kestrun-build with the arguments.
    static ToolRun build(const QStringList &arguments);
};
