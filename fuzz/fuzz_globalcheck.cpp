// The check of global names on arbitrary bytes as a script's unstripped chunk: it must read or
// refuse them without reading outside the input, whatever the instructions say.
#include "toolchain/GlobalNameCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    GlobalNameCheck check(QStringLiteral("/nonexistent-project"));
    check.addScript(QStringLiteral("/nonexistent-project/a.lua"),
                    QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size)));
    check.warnings();
    return 0;
}
