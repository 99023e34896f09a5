#pragma once

#include <QByteArray>

// The development key pair's private half, which only the device side holds.
class DeviceKey
{
public:
    static QByteArray privatePem();
    // True when the built-in public key is the development key's public half (false when the
    // build was configured with another key).
    static bool builtInKeyMatches();
};
