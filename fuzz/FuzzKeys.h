#pragma once

#include "simulator/KeyUnwrapper.h"

#include <QFile>

// The development private key, so the readers get past the wrapped keys.
inline const KeyUnwrapper &fuzzDeviceKey()
{
    static const KeyUnwrapper key([] {
        QFile file(QStringLiteral(KESTRUN_SOURCE_DIR "/simulator/keys/device-private.pem"));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }());
    return key;
}
