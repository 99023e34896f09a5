#pragma once

#include <QByteArray>

// The RSA public key that wraps content keys. The matching private key belongs to the device
// runtime. Another key is built in with the CMake option KESTRUN_PUBLIC_KEY=<file.pem>.
class BuiltInPublicKey
{
public:
    // The PEM lines joined into one text, each line ending in a line feed.
    static QByteArray pem();
};
