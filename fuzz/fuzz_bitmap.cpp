// The bitmap converter on arbitrary file bytes: refused, or exactly the announced length.
#include "toolchain/BitmapRows.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The image reader's warnings about broken files would drown the fuzzer's output.
    static const bool quiet = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}), true);
    Q_UNUSED(quiet)
    const QByteArray bitmap(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const Result<qint64> length = BitmapRows::imageDataLength(bitmap);
    const Result<QByteArray> rows = BitmapRows::bitmapToRows(bitmap);
    if (rows && (!length || rows->size() != *length))
        std::abort();
    return 0;
}
