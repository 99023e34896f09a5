#include "simulator/PackageReader.h"

#include "toolchain/FixedText.h"
#include "simulator/KeyUnwrapper.h"
#include "toolchain/Package.h"
#include "toolchain/ScriptCompiler.h"
#include "toolchain/SealedBlocks.h"

#include <QtEndian>

#include <zlib.h>

namespace {

quint32 read32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

QByteArray refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return QByteArray();
}

QString readText(const char *field, int width)
{
    return QString::fromUtf8(FixedText::read(field, width));
}

// Unwraps the key stored at wrapped and opens the cipher block of a compressed block that lies
// at sealed and fills exactly sealedLength bytes.
bool openSealed(const char *wrapped, qint64 wrappedLength, const char *sealed, qint64 sealedLength,
                qint64 plainLength, const KeyUnwrapper &keys, QByteArray *plain, QString *error)
{
    const QByteArray contentKey = keys.unwrap(wrapped, wrappedLength, error);
    if (contentKey.isEmpty())
        return false;
    QByteArray compressed;
    const qint64 used = SealedBlocks::decryptBlocks(sealed, sealedLength,
                                                    SealedBlocks::keyString(contentKey.constData(), contentKey.size()),
                                                    &compressed, error);
    if (used < 0)
        return false;
    if (used != sealedLength) {
        refuse(error, QStringLiteral("加密块长度不符"));
        return false;
    }
    return SealedBlocks::decompressBlock(compressed.constData(), compressed.size(), plainLength, plain, error) >= 0;
}

bool readEntry(const char *at, qint64 dataLength, const KeyUnwrapper &keys, PackageEntryData *entry, QString *error)
{
    const char *data = at + Package::EntryHeaderLength;
    entry->type = static_cast<int>(read32(at + 4));
    entry->fileName = readText(at + 8, Package::FileNameWidth);
    entry->relativePath = readText(at + 48, Package::RelativePathWidth);
    entry->data = QByteArray(data, static_cast<int>(dataLength));
    QString why;
    switch (entry->type) {
    case Package::PlainFile:
        entry->content = entry->data;
        return true;
    case Package::Image: {
        const qint64 width = dataLength >= Package::ImageHeaderLength ? read32(data) : 0;
        const qint64 height = dataLength >= Package::ImageHeaderLength ? read32(data + 4) : 0;
        if (dataLength < Package::ImageHeaderLength || read32(data + 8) != 24 || width > dataLength || height > dataLength
            || Package::ImageHeaderLength + width * height * 3 != dataLength) {
            why = QStringLiteral("图像尺寸与数据长度不符");
            break;
        }
        entry->width = static_cast<int>(width);
        entry->height = static_cast<int>(height);
        entry->content = entry->data.mid(Package::ImageHeaderLength);
        return true;
    }
    case Package::SealedScript:
        if (dataLength < Package::ScriptHeaderLength || read32(data) != Package::ScriptHeaderMagic
            || read32(data + 4) != Package::ScriptHeaderLength) {
            why = QStringLiteral("脚本头无效");
            break;
        }
        if (openSealed(data + 16, qMin<qint64>(read32(data + 12), SealedBlocks::WrappedKeyLength + 1),
                       data + Package::ScriptHeaderLength, dataLength - Package::ScriptHeaderLength,
                       read32(data + 8), keys, &entry->content, &why))
            return true;
        break;
    default:
        why = QStringLiteral("未知的条目类型%1").arg(entry->type);
    }
    refuse(error, QStringLiteral("[%1]").arg(entry->relativePath) + why);
    return false;
}

} // namespace

PackageContents PackageReader::read(const QByteArray &package, const QByteArray &privateKeyPem)
{
    PackageContents contents;
    const QByteArray inner = openEnvelope(package, &contents.error);
    if (inner.isEmpty())
        return contents;
    return readInner(inner, KeyUnwrapper(privateKeyPem));
}

QByteArray PackageReader::openEnvelope(const QByteArray &package, QString *error, qint64 *compressedLength)
{
    const char *bytes = package.constData();
    const qint64 size = package.size();
    const qint64 blockAt = Package::EnvelopeLength;
    if (size < blockAt + SealedBlocks::CipherHeaderLength)
        return refuse(error, QStringLiteral("包文件不完整"));
    if (read32(bytes) != Package::EnvelopeMagic || static_cast<unsigned char>(bytes[4]) != Package::EnvelopeLength)
        return refuse(error, QStringLiteral("不是脚本包文件"));
    const qint64 innerLength = read32(bytes + 8);
    if (innerLength != read32(bytes + 28) || innerLength < Package::HeaderLength || innerLength > Package::MaxInnerLength)
        return refuse(error, QStringLiteral("包的内容长度无效"));

    const QByteArray key = SealedBlocks::keyString(bytes + 12, size - 12);
    QByteArray stream;
    const qint64 used = SealedBlocks::decryptBlocks(bytes + blockAt, size - blockAt, key, &stream, error);
    if (used < 0)
        return QByteArray();
    if (used != size - blockAt)
        return refuse(error, QStringLiteral("包的长度与加密块不符"));
    if (innerLength > qint64(stream.size()) * 1032 + 64)
        return refuse(error, QStringLiteral("包的内容长度无效"));

    QByteArray inner(static_cast<int>(innerLength), Qt::Uninitialized);
    uLongf produced = static_cast<uLongf>(innerLength);
    uLong consumed = static_cast<uLong>(stream.size());
    if (::uncompress2(reinterpret_cast<Bytef *>(inner.data()), &produced,
                      reinterpret_cast<const Bytef *>(stream.constData()), &consumed) != Z_OK
        || produced != static_cast<uLongf>(innerLength))
        return refuse(error, QStringLiteral("包的压缩数据损坏"));
    if (SealedBlocks::zeroExtendedMd5(inner.constData(), innerLength, stream.size()) != QByteArray(bytes + 12, 16))
        return refuse(error, QStringLiteral("包的校验值不符"));
    if (compressedLength)
        *compressedLength = stream.size();
    return inner;
}

PackageContents PackageReader::readInner(const QByteArray &inner, const KeyUnwrapper &keys)
{
    PackageContents contents;
    auto refused = [&contents](const QString &why) {
        contents.error = why;
        return contents;
    };
    const char *bytes = inner.constData();
    const qint64 size = inner.size();
    if (size < Package::HeaderLength || read32(bytes) != Package::HeaderMagic)
        return refused(QStringLiteral("包头无效"));
    contents.type = read32(bytes + 8);
    contents.name = readText(bytes + 12, Package::NameWidth);
    contents.version = readText(bytes + 72, Package::VersionWidth);
    contents.description = readText(bytes + 92, Package::DescriptionWidth);
    const qint64 entryCount = read32(bytes + 392);
    const qint64 entriesLength = read32(bytes + 400);
    const qint64 mainOffset = read32(bytes + 408);
    const qint64 mainLength = read32(bytes + 412);
    if (read32(bytes + 396) != Package::EntryHeaderLength || read32(bytes + 404) != Package::HeaderLength
        || entriesLength > size - Package::HeaderLength || mainOffset != Package::HeaderLength + entriesLength
        || mainLength != size - mainOffset || entryCount > entriesLength / Package::EntryHeaderLength)
        return refused(QStringLiteral("包头的长度字段无效"));
    contents.entriesLength = static_cast<quint32>(entriesLength);
    contents.mainOffset = static_cast<quint32>(mainOffset);

    contents.entries.reserve(static_cast<int>(entryCount));
    qint64 at = Package::HeaderLength;
    for (qint64 i = 0; i < entryCount; ++i) {
        if (mainOffset - at < Package::EntryHeaderLength)
            return refused(QStringLiteral("条目超出条目区"));
        const qint64 dataLength = read32(bytes + at + 248);
        if (dataLength > mainOffset - at - Package::EntryHeaderLength)
            return refused(QStringLiteral("条目数据超出条目区"));
        PackageEntryData entry;
        if (!readEntry(bytes + at, dataLength, keys, &entry, &contents.error))
            return contents;
        contents.entries.append(entry);
        at += Package::EntryHeaderLength + dataLength;
    }
    if (at != mainOffset)
        return refused(QStringLiteral("条目长度之和与包头不符"));

    contents.mainScript = inner.mid(static_cast<int>(mainOffset));
    if (!contents.mainScript.isEmpty()) {
        QString why;
        contents.mainChunk = openCompiledScript(contents.mainScript.constData(), mainLength, keys, &why);
        if (contents.mainChunk.isEmpty())
            return refused(QStringLiteral("主脚本无效：") + why);
    }
    contents.ok = true;
    return contents;
}

QByteArray PackageReader::openCompiledScript(const QByteArray &file, const QByteArray &privateKeyPem, QString *error)
{
    return openCompiledScript(file.constData(), file.size(), KeyUnwrapper(privateKeyPem), error);
}

QByteArray PackageReader::openCompiledScript(const char *file, qint64 length, const KeyUnwrapper &keys, QString *error)
{
    if (length < ScriptCompiler::HeaderLength || read32(file) != ScriptCompiler::Magic
        || read32(file + 4) != ScriptCompiler::HeaderLength)
        return refuse(error, QStringLiteral("不是编译后的脚本文件"));
    const qint64 chunkLength = read32(file + 8);
    const qint64 sealedLength = read32(file + 12);
    const qint64 wrappedLength = read32(file + 24);
    if (sealedLength != length - ScriptCompiler::HeaderLength || wrappedLength > SealedBlocks::WrappedKeyLength)
        return refuse(error, QStringLiteral("编译后的脚本文件长度无效"));
    QByteArray chunk;
    if (!openSealed(file + 28, wrappedLength, file + ScriptCompiler::HeaderLength, sealedLength, chunkLength, keys,
                    &chunk, error))
        return QByteArray();
    return chunk;
}
