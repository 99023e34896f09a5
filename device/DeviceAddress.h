#pragma once

#include "common/Result.h"

#include <QString>

// A device's address as an author types it: HOST, HOST:PORT or [IPv6]:PORT, the standard control
// port when none is given.
class DeviceAddress
{
public:
    QString host;
    int port = 0;

    static Result<DeviceAddress> parse(const QString &text);
};
