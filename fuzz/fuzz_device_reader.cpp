// Arbitrary bytes from a device: the incremental reader of each connection, fed in pieces of
// varying size, and every frame it yields turned into an image the way the window will.
// Input: byte 0 picks the channel (0 control, 1 frame, 2 request; 4 to 6 the same read from a
// device instead of fed; 3 and 7 the frame-to-image step alone), byte 1 the piece size, the
// rest is the stream.
#include "device/FBInfo.h"
#include "device/FrameImage.h"
#include "device/MessageReader.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Reads every byte of the image, so that a picture laid past its buffer shows as a bad read.
unsigned touchImage(const QImage &image)
{
    unsigned sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < image.bytesPerLine(); ++x)
            sum += line[x];
    }
    return sum;
}

void toImage(const char *record, uchar *pixels, qint64 size)
{
    FBInfo info = FBInfo::fromBytes(record);
    info.dataSize = int(size); // the reader's buffer holds exactly this many bytes
    volatile unsigned sink = touchImage(FrameImage::toImage(pixels, info));
    (void)sink;
}

void readStream(MessageReader::Channel channel, const char *data, qint64 size, qint64 piece, bool throughDevice)
{
    // Small caps keep every input quick; the caps' own values are unit-tested.
    MessageReader::Limits limits;
    limits.payload = 1 << 12;
    limits.text = 1 << 16;
    limits.data = 1 << 20;
    MessageReader reader(channel, limits);
    qint64 offset = 0;
    while (offset < size) {
        const qint64 end = std::min(size, offset + piece);
        MessageReader::Status status;
        if (throughDevice) {
            QByteArray window = QByteArray::fromRawData(data + offset, int(end - offset));
            QBuffer part(&window);
            part.open(QIODevice::ReadOnly);
            status = reader.readFrom(&part);
            offset += part.pos();
        } else {
            qint64 used = 0;
            status = reader.feed(data + offset, end - offset, &used);
            offset += used;
        }
        if (status == MessageReader::Status::Error)
            return;
        if (status == MessageReader::Status::NeedMore)
            continue;
        if (channel == MessageReader::Channel::Control)
            (void)reader.logText();
        if (channel == MessageReader::Channel::Frame && reader.data()) {
            FrameBuffer buffer = reader.takeData();
            toImage(reader.payload().constData(), buffer.data(), buffer.size());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int mode = data[0] & 7;
    const qint64 piece = 1 + data[1];
    const char *stream = reinterpret_cast<const char *>(data + 2);
    const qint64 length = qint64(size) - 2;
    switch (mode) {
    case 0:
    case 1:
    case 2:
        readStream(MessageReader::Channel(mode), stream, length, piece, false);
        break;
    case 4:
    case 5:
    case 6:
        readStream(MessageReader::Channel(mode - 4), stream, length, piece, true);
        break;
    default:
        // A record, then pixel bytes in a buffer of exactly their size.
        if (length >= FBInfo::kSize) {
            const qint64 pixels = length - FBInfo::kSize;
            auto *buffer = new uchar[size_t(std::max<qint64>(pixels, 1))];
            std::memcpy(buffer, stream + FBInfo::kSize, size_t(pixels));
            toImage(stream, buffer, pixels);
            delete[] buffer;
        }
        break;
    }
    return 0;
}
