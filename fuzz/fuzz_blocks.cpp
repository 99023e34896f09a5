// The block readers on arbitrary bytes. The first byte picks the reader:
//   0: cipher block; byte 1 is the key string's length (up to 8), the key follows, then the block
//   1: compressed block; bytes 1-4 are the expected length, the block follows
//   2: compiled-script file
#include "FuzzKeys.h"
#include "simulator/PackageReader.h"
#include "toolchain/SealedBlocks.h"

#include <QtEndian>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data) + 1;
    qint64 left = static_cast<qint64>(size) - 1;
    QByteArray plain;
    switch (data[0] % 3) {
    case 0: {
        if (left < 1)
            return 0;
        const qint64 keyLength = qMin<qint64>(static_cast<unsigned char>(bytes[0]) % 9, left - 1);
        const QByteArray key(bytes + 1, static_cast<int>(keyLength));
        bytes += 1 + keyLength;
        left -= 1 + keyLength;
        const Result<qint64> used = SealedBlocks::decryptBlocks(bytes, left, key, &plain);
        if (used && (*used > left || plain.size() > *used - CipherBlock::HeaderLength))
            std::abort();
        break;
    }
    case 1: {
        if (left < 4)
            return 0;
        const qint64 expected = qFromLittleEndian<quint32>(bytes);
        const Result<qint64> used = SealedBlocks::decompressBlock(bytes + 4, left - 4, expected, &plain);
        if (used && (*used > left - 4 || plain.size() != expected))
            std::abort();
        break;
    }
    default:
        (void)PackageReader::openCompiledScript(bytes, left, fuzzDeviceKey());
    }
    return 0;
}
