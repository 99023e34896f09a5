// Arbitrary bytes from a debug client: the adapter's framing reader fed in pieces of varying size,
// as the adapter is, and every body it yields parsed as the adapter parses it.
// Input: byte 0 the piece size, the rest is the stream.
#include "runner/DapReader.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qint64 piece = 1 + data[0];
    const char *stream = reinterpret_cast<const char *>(data + 1);
    const qint64 length = qint64(size) - 1;
    QByteArray input;
    for (qint64 offset = 0; offset < length; offset += piece) {
        input.append(stream + offset, int(std::min(piece, length - offset)));
        for (;;) {
            QByteArray body;
            QString why;
            const DapReader::State state = DapReader::read(&input, &body, &why);
            if (state == DapReader::State::Error)
                return 0;
            if (state == DapReader::State::NeedMore)
                break;
            (void)QJsonDocument::fromJson(body).object();
        }
        if (input.size() > DapReader::kMaxHeader + 4 + DapReader::kMaxBody)
            __builtin_trap(); // what waits for more never outgrows one message
    }
    return 0;
}
