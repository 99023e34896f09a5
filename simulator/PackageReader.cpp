#include "simulator/PackageReader.h"

#include "simulator/KeyUnwrapper.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/SealedBlocks.h"

#include <zlib.h>

namespace {

QString readText(const char *record, Field field)
{
    return QString::fromUtf8(Layout::readText(record, field));
}

// Unwraps the key stored at wrapped and opens the cipher block of a compressed block that lies
// at sealed and fills exactly sealedLength bytes.
Result<QByteArray> openSealed(const char *wrapped, qint64 wrappedLength, const char *sealed, qint64 sealedLength,
                              qint64 plainLength, const KeyUnwrapper &keys)
{
    const Result<QByteArray> contentKey = keys.unwrap(wrapped, wrappedLength);
    if (!contentKey)
        return contentKey;
    QByteArray compressed;
    const Result<qint64> used = SealedBlocks::decryptBlocks(
        sealed, sealedLength, SealedBlocks::keyString(contentKey->constData(), contentKey->size()), &compressed);
    if (!used)
        return fail(used.error());
    if (*used != sealedLength)
        return fail(QStringLiteral("加密块长度不符"));
    QByteArray plain;
    const Result<qint64> expanded = SealedBlocks::decompressBlock(compressed.constData(), compressed.size(), plainLength, &plain);
    if (!expanded)
        return fail(expanded.error());
    return plain;
}

Status readEntryData(const char *data, qint64 dataLength, const KeyUnwrapper &keys, PackageEntryData *entry)
{
    switch (entry->type) {
    case PackageEntry::PlainFile:
        entry->content = entry->data;
        return Status();
    case PackageEntry::Image: {
        if (dataLength < ImageHeader::Length)
            return fail(QStringLiteral("图像尺寸与数据长度不符"));
        const qint64 width = Layout::read(data, ImageHeader::width);
        const qint64 height = Layout::read(data, ImageHeader::height);
        if (Layout::read(data, ImageHeader::depth) != ImageHeader::Depth || width > dataLength || height > dataLength
            || ImageHeader::Length + width * height * 3 != dataLength)
            return fail(QStringLiteral("图像尺寸与数据长度不符"));
        entry->width = static_cast<int>(width);
        entry->height = static_cast<int>(height);
        entry->content = entry->data.mid(ImageHeader::Length);
        return Status();
    }
    case PackageEntry::SealedScript: {
        if (dataLength < ScriptEntryHeader::Length
            || Layout::read(data, ScriptEntryHeader::magic) != ScriptEntryHeader::Magic
            || Layout::read(data, ScriptEntryHeader::headerLength) != ScriptEntryHeader::Length)
            return fail(QStringLiteral("脚本头无效"));
        const qint64 wrappedLength = Layout::read(data, ScriptEntryHeader::wrappedKeyLength);
        const Result<QByteArray> source = openSealed(
            data + ScriptEntryHeader::wrappedKey.offset, qMin<qint64>(wrappedLength, ScriptEntryHeader::wrappedKey.width + 1),
            data + ScriptEntryHeader::Length, dataLength - ScriptEntryHeader::Length,
            Layout::read(data, ScriptEntryHeader::sourceLength), keys);
        if (!source)
            return fail(source.error());
        entry->content = *source;
        return Status();
    }
    default:
        return fail(QStringLiteral("未知的条目类型%1").arg(entry->type));
    }
}

Result<PackageEntryData> readEntry(const char *at, qint64 dataLength, const KeyUnwrapper &keys)
{
    PackageEntryData entry;
    const char *data = at + PackageEntry::HeaderLength;
    entry.type = static_cast<int>(Layout::read(at, PackageEntry::type));
    entry.fileName = readText(at, PackageEntry::fileName);
    entry.relativePath = readText(at, PackageEntry::relativePath);
    entry.data = QByteArray(data, static_cast<int>(dataLength));
    const Status read = readEntryData(data, dataLength, keys, &entry);
    if (!read)
        return fail(QStringLiteral("[%1]").arg(entry.relativePath) + read.error());
    return entry;
}

} // namespace

Result<PackageContents> PackageReader::read(const QByteArray &package, const QByteArray &privateKeyPem)
{
    const Result<QByteArray> inner = openEnvelope(package);
    if (!inner)
        return fail(inner.error());
    PackageContents contents;
    const Status read = readInner(*inner, KeyUnwrapper(privateKeyPem), &contents);
    if (!read)
        return fail(read.error());
    return contents;
}

Result<QByteArray> PackageReader::openEnvelope(const QByteArray &package, qint64 *compressedLength)
{
    const char *bytes = package.constData();
    const qint64 size = package.size();
    const qint64 blockAt = PackageEnvelope::Length;
    if (size < blockAt + CipherBlock::HeaderLength)
        return fail(QStringLiteral("包文件不完整"));
    if (Layout::read(bytes, PackageEnvelope::magic) != PackageEnvelope::Magic
        || Layout::read(bytes, PackageEnvelope::envelopeLength) != PackageEnvelope::Length)
        return fail(QStringLiteral("不是脚本包文件"));
    const qint64 innerLength = Layout::read(bytes, PackageEnvelope::innerLength);
    if (innerLength != Layout::read(bytes, PackageEnvelope::innerLengthAgain) || innerLength < PackageHeader::Length
        || innerLength > MaxPayloadLength)
        return fail(QStringLiteral("包的内容长度无效"));

    const int keyAt = PackageEnvelope::digest.offset;
    const QByteArray key = SealedBlocks::keyString(bytes + keyAt, size - keyAt);
    QByteArray stream;
    const Result<qint64> used = SealedBlocks::decryptBlocks(bytes + blockAt, size - blockAt, key, &stream);
    if (!used)
        return fail(used.error());
    if (*used != size - blockAt)
        return fail(QStringLiteral("包的长度与加密块不符"));
    if (innerLength > qint64(stream.size()) * 1032 + 64)
        return fail(QStringLiteral("包的内容长度无效"));

    QByteArray inner(static_cast<int>(innerLength), Qt::Uninitialized);
    uLongf produced = static_cast<uLongf>(innerLength);
    uLong consumed = static_cast<uLong>(stream.size());
    if (::uncompress2(reinterpret_cast<Bytef *>(inner.data()), &produced,
                      reinterpret_cast<const Bytef *>(stream.constData()), &consumed) != Z_OK
        || produced != static_cast<uLongf>(innerLength))
        return fail(QStringLiteral("包的压缩数据损坏"));
    if (SealedBlocks::zeroExtendedMd5(inner.constData(), innerLength, stream.size())
        != Layout::readBytes(bytes, PackageEnvelope::digest))
        return fail(QStringLiteral("包的校验值不符"));
    if (compressedLength)
        *compressedLength = stream.size();
    return inner;
}

Status PackageReader::readInner(const QByteArray &inner, const KeyUnwrapper &keys, PackageContents *contents)
{
    const char *bytes = inner.constData();
    const qint64 size = inner.size();
    if (size < PackageHeader::Length || Layout::read(bytes, PackageHeader::magic) != PackageHeader::Magic)
        return fail(QStringLiteral("包头无效"));
    contents->type = Layout::read(bytes, PackageHeader::type);
    contents->name = readText(bytes, PackageHeader::name);
    contents->version = readText(bytes, PackageHeader::version);
    contents->description = readText(bytes, PackageHeader::description);
    const qint64 entryCount = Layout::read(bytes, PackageHeader::entryCount);
    const qint64 entriesLength = Layout::read(bytes, PackageHeader::entriesLength);
    const qint64 mainOffset = Layout::read(bytes, PackageHeader::mainOffset);
    const qint64 mainLength = Layout::read(bytes, PackageHeader::mainLength);
    if (Layout::read(bytes, PackageHeader::entryHeaderLength) != PackageEntry::HeaderLength
        || Layout::read(bytes, PackageHeader::firstEntryOffset) != PackageHeader::Length
        || entriesLength > size - PackageHeader::Length || mainOffset != PackageHeader::Length + entriesLength
        || mainLength != size - mainOffset || entryCount > entriesLength / PackageEntry::HeaderLength)
        return fail(QStringLiteral("包头的长度字段无效"));
    contents->entriesLength = static_cast<quint32>(entriesLength);
    contents->mainOffset = static_cast<quint32>(mainOffset);

    contents->entries.reserve(static_cast<int>(entryCount));
    qint64 at = PackageHeader::Length;
    for (qint64 i = 0; i < entryCount; ++i) {
        if (mainOffset - at < PackageEntry::HeaderLength)
            return fail(QStringLiteral("条目超出条目区"));
        const qint64 dataLength = Layout::read(bytes + at, PackageEntry::dataLength);
        if (dataLength > mainOffset - at - PackageEntry::HeaderLength)
            return fail(QStringLiteral("条目数据超出条目区"));
        const Result<PackageEntryData> entry = readEntry(bytes + at, dataLength, keys);
        if (!entry)
            return fail(entry.error());
        contents->entries.append(*entry);
        at += PackageEntry::HeaderLength + dataLength;
    }
    if (at != mainOffset)
        return fail(QStringLiteral("条目长度之和与包头不符"));

    contents->mainScript = inner.mid(static_cast<int>(mainOffset));
    if (!contents->mainScript.isEmpty()) {
        const Result<QByteArray> chunk = openCompiledScript(contents->mainScript.constData(), mainLength, keys);
        if (!chunk)
            return fail(QStringLiteral("主脚本无效：") + chunk.error());
        contents->mainChunk = *chunk;
    }
    return Status();
}

Result<QByteArray> PackageReader::openCompiledScript(const QByteArray &file, const QByteArray &privateKeyPem)
{
    return openCompiledScript(file.constData(), file.size(), KeyUnwrapper(privateKeyPem));
}

Result<QByteArray> PackageReader::openCompiledScript(const char *file, qint64 length, const KeyUnwrapper &keys)
{
    if (length < CompiledScriptHeader::Length
        || Layout::read(file, CompiledScriptHeader::magic) != CompiledScriptHeader::Magic
        || Layout::read(file, CompiledScriptHeader::headerLength) != CompiledScriptHeader::Length)
        return fail(QStringLiteral("不是编译后的脚本文件"));
    const qint64 chunkLength = Layout::read(file, CompiledScriptHeader::chunkLength);
    const qint64 sealedLength = Layout::read(file, CompiledScriptHeader::sealedLength);
    const qint64 wrappedLength = Layout::read(file, CompiledScriptHeader::wrappedKeyLength);
    if (sealedLength != length - CompiledScriptHeader::Length || wrappedLength > CompiledScriptHeader::wrappedKey.width)
        return fail(QStringLiteral("编译后的脚本文件长度无效"));
    return openSealed(file + CompiledScriptHeader::wrappedKey.offset, wrappedLength, file + CompiledScriptHeader::Length,
                      sealedLength, chunkLength, keys);
}
