// The chunk re-layer on arbitrary bytes: it must refuse or re-lay without reading outside its
// input; fed in two pieces it must do exactly what it does with the whole; and a re-laid chunk
// must re-lay to itself.
#include "toolchain/ChunkRelayer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const qint64 length = static_cast<qint64>(size);
    const Result<QByteArray> relayed = ChunkRelayer::relay(bytes, length);
    const bool ok = relayed.ok();
    const QByteArray whole = relayed.valueOr(QByteArray());

    const qint64 split = length > 0 ? static_cast<unsigned char>(bytes[0]) % (length + 1) : 0;
    QByteArray pieces;
    ChunkRelayer relayer(&pieces);
    ChunkWalker walker({&relayer});
    walker.feed(bytes, split);
    walker.feed(bytes + split, length - split);
    if (walker.finish().ok() != ok || (ok && pieces != whole))
        std::abort();

    if (ok && ChunkRelayer::relay(whole).valueOr(QByteArray()) != whole)
        std::abort();
    return 0;
}
