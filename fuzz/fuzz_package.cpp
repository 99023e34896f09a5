// The package reader on arbitrary bytes. The first byte picks the input: even, a whole package
// (envelope first); odd, an inner image, so the entries are reached past the digest.
#include "FuzzKeys.h"
#include "simulator/PackageReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<int>(size) - 1);
    PackageContents contents;
    Status read = fail(QString());
    if (data[0] % 2 == 0) {
        const Result<QByteArray> inner = PackageReader::openEnvelope(bytes);
        if (inner)
            read = PackageReader::readInner(*inner, fuzzDeviceKey(), &contents);
    } else {
        read = PackageReader::readInner(bytes, fuzzDeviceKey(), &contents);
    }
    if (read && contents.mainOffset != 416 + contents.entriesLength)
        std::abort();
    return 0;
}
