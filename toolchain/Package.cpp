#include "toolchain/Package.h"

#include "toolchain/FixedText.h"
#include "toolchain/SealedBlocks.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

void write32(char *p, quint32 value)
{
    qToLittleEndian<quint32>(value, p);
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

qint64 refuse(QString *error, const QString &why)
{
    fail(error, why);
    return -1;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString limitMessage(const QString &path)
{
    return QStringLiteral("工程内容超过100MB上限，无法打包[%1]").arg(nativePath(path));
}

// What the header of a bitmap file says, checked against the file's length.
struct BitmapLayout
{
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    qint64 pixelOffset = 0;
    qint64 stride = 0;
    bool raw = false; // 24 or 32 bits per pixel, uncompressed: copied byte for byte
};

bool readBitmapLayout(const QByteArray &bitmap, BitmapLayout *layout, QString *error)
{
    const qint64 size = bitmap.size();
    const char *bytes = bitmap.constData();
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return fail(error, QStringLiteral("缺少BM标记"));
    if (size < 26)
        return fail(error, QStringLiteral("文件头不完整"));
    const qint64 infoLength = qFromLittleEndian<quint32>(bytes + 14);
    quint32 compression = 0;
    if (infoLength == 12) {
        // The old core header: 16-bit sizes, never compressed.
        layout->width = qFromLittleEndian<quint16>(bytes + 18);
        layout->height = qFromLittleEndian<quint16>(bytes + 20);
        layout->bitsPerPixel = qFromLittleEndian<quint16>(bytes + 24);
    } else if (infoLength >= 40 && size >= 54) {
        layout->width = qFromLittleEndian<qint32>(bytes + 18);
        const qint64 height = qFromLittleEndian<qint32>(bytes + 22);
        layout->topDown = height < 0;
        layout->height = height < 0 ? -height : height;
        layout->bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
        compression = qFromLittleEndian<quint32>(bytes + 30);
    } else {
        return fail(error, QStringLiteral("文件头不完整"));
    }
    if (layout->width <= 0 || layout->height <= 0)
        return fail(error, QStringLiteral("宽度或高度无效"));
    if (layout->width > Package::MaxInnerLength || layout->height > Package::MaxInnerLength
        || layout->width * layout->height * 3 > Package::MaxInnerLength)
        return fail(error, QStringLiteral("图像过大（%1×%2）").arg(layout->width).arg(layout->height));

    enum { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };
    const int bits = layout->bitsPerPixel;
    const bool rle = (bits == 8 && compression == Rle8) || (bits == 4 && compression == Rle4);
    const bool plain = compression == Rgb
        || ((bits == 16 || bits == 32) && (compression == BitFields || compression == AlphaBitFields));
    const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!knownDepth || !(plain || rle))
        return fail(error, QStringLiteral("不支持的位图格式（%1位，压缩方式%2）").arg(bits).arg(compression));
    layout->raw = infoLength >= 40 && plain && (bits == 24 || bits == 32);
    layout->pixelOffset = qFromLittleEndian<quint32>(bytes + 10);
    if (layout->pixelOffset >= size)
        return fail(error, QStringLiteral("像素数据超出文件末尾"));
    if (rle)
        return true; // the image reader checks the runs
    layout->stride = (layout->width * bits + 31) / 32 * 4;
    const qint64 end = layout->pixelOffset + layout->stride * (layout->height - 1) + (layout->width * bits + 7) / 8;
    if (end > size)
        return fail(error, QStringLiteral("像素数据超出文件末尾"));
    return true;
}

void writeImageHeader(char *out, qint64 width, qint64 height)
{
    write32(out, static_cast<quint32>(width));
    write32(out + 4, static_cast<quint32>(height));
    write32(out + 8, 24);
}

void copyRawRows(const QByteArray &bitmap, const BitmapLayout &layout, char *out)
{
    const int pixelBytes = layout.bitsPerPixel / 8;
    const qint64 rowBytes = layout.width * 3;
    for (qint64 y = 0; y < layout.height; ++y) {
        // Rows are stored bottom-up unless the height was negative.
        const qint64 stored = layout.topDown ? y : layout.height - 1 - y;
        const char *src = bitmap.constData() + layout.pixelOffset + stored * layout.stride;
        char *dst = out + y * rowBytes;
        if (pixelBytes == 3) {
            std::memcpy(dst, src, static_cast<size_t>(rowBytes));
        } else {
            for (qint64 x = 0; x < layout.width; ++x, src += 4, dst += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
        }
    }
}

bool decodeRows(const QByteArray &bitmap, const BitmapLayout &layout, char *out, QString *error)
{
    QImage image;
    if (!image.loadFromData(bitmap, "BMP") || image.width() != layout.width || image.height() != layout.height)
        return fail(error, QStringLiteral("无法解码该位图（%1位）").arg(layout.bitsPerPixel));
    image = image.convertToFormat(QImage::Format_RGB888);
    for (qint64 y = 0; y < layout.height; ++y) {
        const uchar *src = image.constScanLine(static_cast<int>(y));
        char *dst = out + y * layout.width * 3;
        for (qint64 x = 0; x < layout.width; ++x, src += 3, dst += 3) {
            dst[0] = static_cast<char>(src[2]);
            dst[1] = static_cast<char>(src[1]);
            dst[2] = static_cast<char>(src[0]);
        }
    }
    return true;
}

// Seals a script source into the image at `at` (script header, then the cipher block of its
// compressed bytes) and returns the data length, or -1 with a message.
qint64 sealScript(const QString &path, const QByteArray &source, char *at, qint64 room, QString *error)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const QByteArray wrapped = SealedBlocks::wrapKey(contentKey, error);
    if (wrapped.isEmpty())
        return -1;
    const QByteArray compressed = SealedBlocks::compressBlock(source);
    const qint64 length = Package::ScriptHeaderLength + SealedBlocks::cipherBlockLength(compressed.size());
    if (compressed.isEmpty() || length > room)
        return refuse(error, limitMessage(path));
    std::memset(at, 0, Package::ScriptHeaderLength);
    write32(at, Package::ScriptHeaderMagic);
    write32(at + 4, Package::ScriptHeaderLength);
    write32(at + 8, static_cast<quint32>(source.size()));
    write32(at + 12, SealedBlocks::WrappedKeyLength);
    std::memcpy(at + 16, wrapped.constData(), SealedBlocks::WrappedKeyLength);
    char *block = at + Package::ScriptHeaderLength;
    std::memcpy(block + SealedBlocks::CipherHeaderLength, compressed.constData(), static_cast<size_t>(compressed.size()));
    SealedBlocks::encryptInPlace(block, compressed.size(), SealedBlocks::keyString(contentKey.constData(), contentKey.size()));
    return length;
}

// The scratch file holding the inner image while a build runs; removed however the build ends.
class ScratchFile
{
public:
    explicit ScratchFile(const QString &path)
        : file(path)
    {
    }
    ~ScratchFile()
    {
        if (data)
            file.unmap(data);
        file.close();
        file.remove();
    }
    char *map(qint64 length, QString *error)
    {
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || !file.resize(length)
            || !(data = file.map(0, length))) {
            fail(error, QStringLiteral("无法创建临时文件[%1]：%2").arg(nativePath(file.fileName()), file.errorString()));
            return nullptr;
        }
        return reinterpret_cast<char *>(data);
    }

private:
    QFile file;
    uchar *data = nullptr;
};

bool validName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

int Package::build(const QString &projectDirectory, const QString &name, const QString &version,
                   const QString &description, const QByteArray &mainScript, int type,
                   QString *error, const Progress &progress)
{
    if (!validName(name))
        return refuse(error, QStringLiteral("工程名称[%1]不能用作包的文件名").arg(name));
    const QString root = QDir(projectDirectory).absolutePath();
    const QString directory = root + QLatin1Char('/');

    ScratchFile scratch(directory + name + QStringLiteral(".o"));
    InnerImage image;
    image.data = scratch.map(MaxInnerLength, error);
    if (!image.data)
        return -1;
    image.capacity = MaxInnerLength;
    image.used = HeaderLength;

    char header[HeaderLength] = {};
    write32(header, HeaderMagic);
    write32(header + 8, static_cast<quint32>(type));
    FixedText::write(header + 12, NameWidth, name.toUtf8());
    FixedText::write(header + 72, VersionWidth, version.toUtf8());
    FixedText::write(header + 92, DescriptionWidth, description.toUtf8());

    quint32 entryCount = 0;
    const qint64 entriesLength = packDirectory(root, root, image, entryCount, error, progress);
    if (entriesLength < 0)
        return -1;
    if (mainScript.size() > image.capacity - image.used)
        return refuse(error, limitMessage(directory + QStringLiteral("main.script.m")));
    write32(header + 392, entryCount);
    write32(header + 396, EntryHeaderLength);
    write32(header + 400, static_cast<quint32>(entriesLength));
    write32(header + 404, HeaderLength);
    write32(header + 408, static_cast<quint32>(image.used));
    write32(header + 412, static_cast<quint32>(mainScript.size()));
    std::memcpy(image.data + image.used, mainScript.constData(), static_cast<size_t>(mainScript.size()));
    image.used += mainScript.size();
    std::memcpy(image.data, header, HeaderLength);
    const qint64 innerLength = image.used;

    // Envelope, then the zlib stream at offset 48, encrypted there in place behind its header.
    const uLong bound = ::compressBound(static_cast<uLong>(innerLength));
    const qint64 streamAt = EnvelopeLength + SealedBlocks::CipherHeaderLength;
    std::vector<char> package(static_cast<size_t>(streamAt + SealedBlocks::paddedLength(bound)));
    char *out = package.data();
    uLongf compressedLength = bound;
    if (::compress(reinterpret_cast<Bytef *>(out + streamAt), &compressedLength,
                   reinterpret_cast<const Bytef *>(image.data), static_cast<uLong>(innerLength)) != Z_OK)
        return refuse(error, QStringLiteral("压缩工程内容失败"));
    write32(out, EnvelopeMagic);
    out[4] = EnvelopeLength;
    out[5] = 2;
    out[6] = 1;
    write32(out + 8, static_cast<quint32>(innerLength));
    const QByteArray digest = SealedBlocks::zeroExtendedMd5(image.data, innerLength, static_cast<qint64>(compressedLength));
    std::memcpy(out + 12, digest.constData(), static_cast<size_t>(digest.size()));
    write32(out + 28, static_cast<quint32>(innerLength));
    // The key string runs from offset 12 to the first zero byte of the finished file: through
    // the digest and innerLength, on into the cipher block's header when neither holds a zero.
    write32(out + EnvelopeLength, SealedBlocks::CipherMagic);
    write32(out + EnvelopeLength + 4, SealedBlocks::CipherHeaderLength);
    const QByteArray key = SealedBlocks::keyString(out + 12, streamAt - 12);
    SealedBlocks::encryptInPlace(out + EnvelopeLength, static_cast<qint64>(compressedLength), key);
    const qint64 packageLength = EnvelopeLength + SealedBlocks::cipherBlockLength(static_cast<qint64>(compressedLength));

    // Written aside and renamed: a failed build never destroys the last good package.
    const QString packagePath = directory + name + QStringLiteral(".ks");
    QString reason;
    if (!FileOperations::writeWhole(packagePath, out, packageLength, &reason))
        return refuse(error, QStringLiteral("无法写入[%1]：%2").arg(nativePath(packagePath), reason));
    return static_cast<int>(compressedLength);
}

qint64 Package::packDirectory(const QString &directory, const QString &projectDirectory, InnerImage &image,
                              quint32 &entryCount, QString *error, const Progress &progress)
{
    const QString prefix = QDir(projectDirectory).absolutePath() + QLatin1Char('/');
    qint64 total = 0;
    for (const DirListing::Entry &listed : DirListing::entries(QDir(directory).absolutePath())) {
        const QString path = listed.path();
        if (listed.isDir) {
            const qint64 appended = packDirectory(path, projectDirectory, image, entryCount, error, progress);
            if (appended < 0)
                return -1;
            total += appended;
            continue;
        }
        const QString &fileName = listed.name;
        if (fileName.endsWith(QLatin1String(".o")) || fileName.endsWith(QLatin1String(".ks")))
            continue;
        if (progress)
            progress(QStringLiteral("正在打包[") + path + QLatin1Char(']'));

        const QByteArray relativePath = path.mid(prefix.size()).toUtf8();
        if (!FixedText::fits(relativePath, RelativePathWidth))
            return refuse(error, QStringLiteral("[%1]的相对路径超过%2字节，无法打包").arg(nativePath(path)).arg(RelativePathWidth - 1));
        const qint64 room = image.capacity - image.used - EntryHeaderLength;
        if (room < 0)
            return refuse(error, limitMessage(path));
        char *at = image.data + image.used;
        char *data = at + EntryHeaderLength;
        qint64 dataLength = -1;
        EntryType type = PlainFile;
        QFile file(path);
        if (fileName.endsWith(QLatin1String(".bmp"))) {
            QByteArray bitmap;
            if (loadBitmap(path, &bitmap)) {
                QString why;
                dataLength = imageDataLength(bitmap, &why);
                if (dataLength < 0)
                    return refuse(error, QStringLiteral("[%1]不是可用的位图：%2").arg(nativePath(path), why));
                if (dataLength > room)
                    return refuse(error, limitMessage(path));
                if (bitmapToRows(bitmap, data, room, &why) < 0)
                    return refuse(error, QStringLiteral("[%1]不是可用的位图：%2").arg(nativePath(path), why));
                type = Image;
            }
        } else if (file.open(QIODevice::ReadOnly)) {
            if (fileName.endsWith(QLatin1String(".script")) || fileName.endsWith(QLatin1String(".lua"))) {
                if (file.size() > MaxInnerLength)
                    return refuse(error, limitMessage(path));
                dataLength = sealScript(path, file.readAll(), data, room, error);
                if (dataLength < 0)
                    return -1;
                type = SealedScript;
            } else {
                if (file.size() > room)
                    return refuse(error, limitMessage(path));
                // Read straight into the image; a file that shrank meanwhile gives what was there.
                dataLength = file.read(data, file.size());
                if (dataLength < 0)
                    return refuse(error, QStringLiteral("读取[%1]失败：%2").arg(nativePath(path), file.errorString()));
            }
        }
        if (dataLength < 0) {
            if (progress)
                progress(QLatin1Char('[') + path + QStringLiteral("]打开失败...，跳过..."));
            continue;
        }
        std::memset(at, 0, 8);
        write32(at + 4, type);
        FixedText::write(at + 8, FileNameWidth, fileName.toUtf8());
        FixedText::write(at + 48, RelativePathWidth, relativePath);
        write32(at + 248, static_cast<quint32>(dataLength));
        ++entryCount;
        image.used += EntryHeaderLength + dataLength;
        total += EntryHeaderLength + dataLength;
    }
    return total;
}

bool Package::loadBitmap(const QString &path, QByteArray *bitmap)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bitmap = file.readAll();
    return true;
}

qint64 Package::imageDataLength(const QByteArray &bitmap, QString *error)
{
    BitmapLayout layout;
    if (!readBitmapLayout(bitmap, &layout, error))
        return -1;
    return ImageHeaderLength + layout.width * layout.height * 3;
}

qint64 Package::bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity, QString *error)
{
    BitmapLayout layout;
    if (!readBitmapLayout(bitmap, &layout, error))
        return -1;
    const qint64 length = ImageHeaderLength + layout.width * layout.height * 3;
    if (length > capacity)
        return refuse(error, QStringLiteral("图像过大（%1×%2）").arg(layout.width).arg(layout.height));
    writeImageHeader(out, layout.width, layout.height);
    if (layout.raw)
        copyRawRows(bitmap, layout, out + ImageHeaderLength);
    else if (!decodeRows(bitmap, layout, out + ImageHeaderLength, error))
        return -1;
    return length;
}

QByteArray Package::bitmapToRows(const QByteArray &bitmap, QString *error)
{
    const qint64 length = imageDataLength(bitmap, error);
    if (length < 0)
        return QByteArray();
    QByteArray rows(static_cast<int>(length), Qt::Uninitialized);
    if (bitmapToRows(bitmap, rows.data(), length, error) < 0)
        return QByteArray();
    return rows;
}
