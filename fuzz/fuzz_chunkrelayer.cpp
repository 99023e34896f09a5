// The chunk re-layer on arbitrary bytes: it must refuse or re-lay without reading outside its
// input, and a re-laid chunk must re-lay to itself.
#include "build/ChunkRelayer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray out;
    QString error;
    if (!ChunkRelayer::relay(reinterpret_cast<const char *>(data), static_cast<qint64>(size), &out, &error))
        return 0;
    QByteArray again;
    if (!ChunkRelayer::relay(out, &again, &error) || again != out)
        std::abort();
    return 0;
}
