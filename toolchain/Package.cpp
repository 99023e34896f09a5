#include "toolchain/Package.h"

#include "common/Names.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/BitmapRows.h"
#include "toolchain/SealedBlocks.h"

#include <QDir>
#include <QFile>

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Failure limitFailure(const QString &path)
{
    return fail(QStringLiteral("工程内容超过100MB上限，无法打包[%1]").arg(nativePath(path)));
}

// Seals a script source into the image at `at` (script header, then the cipher block of its
// compressed bytes) and returns the data length.
Result<qint64> sealScript(const QString &path, const QByteArray &source, char *at, qint64 room)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const Result<QByteArray> wrapped = SealedBlocks::wrapKey(contentKey);
    if (!wrapped)
        return fail(wrapped.error());
    const Result<QByteArray> compressed = SealedBlocks::compressBlock(source);
    if (!compressed)
        return limitFailure(path);
    const qint64 length = ScriptEntryHeader::Length + SealedBlocks::cipherBlockLength(compressed->size());
    if (length > room)
        return limitFailure(path);
    std::memset(at, 0, ScriptEntryHeader::Length);
    Layout::write(at, ScriptEntryHeader::magic, ScriptEntryHeader::Magic);
    Layout::write(at, ScriptEntryHeader::headerLength, ScriptEntryHeader::Length);
    Layout::write(at, ScriptEntryHeader::sourceLength, static_cast<quint32>(source.size()));
    Layout::write(at, ScriptEntryHeader::wrappedKeyLength, SealedBlocks::WrappedKeyLength);
    Layout::writeBytes(at, ScriptEntryHeader::wrappedKey, *wrapped);
    char *block = at + ScriptEntryHeader::Length;
    std::memcpy(block + CipherBlock::HeaderLength, compressed->constData(), static_cast<size_t>(compressed->size()));
    SealedBlocks::encryptInPlace(block, compressed->size(), SealedBlocks::keyString(contentKey.constData(), contentKey.size()));
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
    Result<char *> map(qint64 length)
    {
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || !file.resize(length)
            || !(data = file.map(0, length)))
            return fail(QStringLiteral("无法创建临时文件[%1]：%2").arg(nativePath(file.fileName()), file.errorString()));
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

Result<int> Package::build(const QString &projectDirectory, const QString &name, const QString &version,
                           const QString &description, const QByteArray &mainScript, int type, const Progress &progress)
{
    if (!validName(name))
        return fail(QStringLiteral("工程名称[%1]不能用作包的文件名").arg(name));
    const QString root = QDir(projectDirectory).absolutePath();
    const QString directory = root + QLatin1Char('/');

    ScratchFile scratch(directory + name + Names::scratchSuffix());
    const Result<char *> mapped = scratch.map(MaxPayloadLength);
    if (!mapped)
        return fail(mapped.error());
    InnerImage image{*mapped, PackageHeader::Length, MaxPayloadLength};

    char header[PackageHeader::Length] = {};
    Layout::write(header, PackageHeader::magic, PackageHeader::Magic);
    Layout::write(header, PackageHeader::type, static_cast<quint32>(type));
    Layout::writeText(header, PackageHeader::name, name.toUtf8());
    Layout::writeText(header, PackageHeader::version, version.toUtf8());
    Layout::writeText(header, PackageHeader::description, description.toUtf8());

    quint32 entryCount = 0;
    const Result<qint64> entriesLength = packDirectory(root, root, image, entryCount, progress);
    if (!entriesLength)
        return fail(entriesLength.error());
    if (mainScript.size() > image.capacity - image.used)
        return limitFailure(directory + Names::compiledMainScript());
    Layout::write(header, PackageHeader::entryCount, entryCount);
    Layout::write(header, PackageHeader::entryHeaderLength, PackageEntry::HeaderLength);
    Layout::write(header, PackageHeader::entriesLength, static_cast<quint32>(*entriesLength));
    Layout::write(header, PackageHeader::firstEntryOffset, PackageHeader::Length);
    Layout::write(header, PackageHeader::mainOffset, static_cast<quint32>(image.used));
    Layout::write(header, PackageHeader::mainLength, static_cast<quint32>(mainScript.size()));
    std::memcpy(image.data + image.used, mainScript.constData(), static_cast<size_t>(mainScript.size()));
    image.used += mainScript.size();
    std::memcpy(image.data, header, PackageHeader::Length);
    const qint64 innerLength = image.used;

    // Envelope, then the zlib stream behind the cipher block's header, encrypted there in place.
    const uLong bound = ::compressBound(static_cast<uLong>(innerLength));
    const qint64 streamAt = PackageEnvelope::Length + CipherBlock::HeaderLength;
    std::vector<char> package(static_cast<size_t>(streamAt + SealedBlocks::paddedLength(bound)));
    char *out = package.data();
    uLongf compressedLength = bound;
    if (::compress(reinterpret_cast<Bytef *>(out + streamAt), &compressedLength,
                   reinterpret_cast<const Bytef *>(image.data), static_cast<uLong>(innerLength)) != Z_OK)
        return fail(QStringLiteral("压缩工程内容失败"));
    Layout::write(out, PackageEnvelope::magic, PackageEnvelope::Magic);
    Layout::write(out, PackageEnvelope::envelopeLength, PackageEnvelope::Length);
    Layout::write(out, PackageEnvelope::constant2, 2);
    Layout::write(out, PackageEnvelope::constant1, 1);
    Layout::write(out, PackageEnvelope::innerLength, static_cast<quint32>(innerLength));
    Layout::writeBytes(out, PackageEnvelope::digest,
                       SealedBlocks::zeroExtendedMd5(image.data, innerLength, static_cast<qint64>(compressedLength)));
    Layout::write(out, PackageEnvelope::innerLengthAgain, static_cast<quint32>(innerLength));
    // The key string runs from the digest to the first zero byte of the finished file: through
    // the digest and innerLength, on into the cipher block's header when neither holds a zero.
    char *block = out + PackageEnvelope::Length;
    Layout::write(block, CipherBlock::magic, CipherBlock::Magic);
    Layout::write(block, CipherBlock::headerLength, CipherBlock::HeaderLength);
    const int keyAt = PackageEnvelope::digest.offset;
    const QByteArray key = SealedBlocks::keyString(out + keyAt, streamAt - keyAt);
    SealedBlocks::encryptInPlace(block, static_cast<qint64>(compressedLength), key);
    const qint64 packageLength = PackageEnvelope::Length + SealedBlocks::cipherBlockLength(static_cast<qint64>(compressedLength));

    // Written aside and renamed: a failed build never destroys the last good package.
    const QString packagePath = directory + name + Names::packageSuffix();
    const Status written = FileOperations::writeWhole(packagePath, out, packageLength);
    if (!written)
        return fail(QStringLiteral("无法写入[%1]：%2").arg(nativePath(packagePath), written.error()));
    return static_cast<int>(compressedLength);
}

Result<qint64> Package::packDirectory(const QString &directory, const QString &projectDirectory, InnerImage &image,
                                      quint32 &entryCount, const Progress &progress)
{
    const QString prefix = QDir(projectDirectory).absolutePath() + QLatin1Char('/');
    qint64 total = 0;
    for (const DirListing::Entry &listed : DirListing::entries(QDir(directory).absolutePath())) {
        const QString path = listed.path();
        if (listed.isDir) {
            const Result<qint64> appended = packDirectory(path, projectDirectory, image, entryCount, progress);
            if (!appended)
                return appended;
            total += *appended;
            continue;
        }
        const QString &fileName = listed.name;
        if (fileName.endsWith(Names::scratchSuffix()) || fileName.endsWith(Names::packageSuffix()))
            continue;
        if (progress)
            progress(QStringLiteral("正在打包[") + path + QLatin1Char(']'));

        const QByteArray relativePath = path.mid(prefix.size()).toUtf8();
        const int pathWidth = PackageEntry::relativePath.width;
        if (!FixedText::fits(relativePath, pathWidth))
            return fail(QStringLiteral("[%1]的相对路径超过%2字节，无法打包").arg(nativePath(path)).arg(pathWidth - 1));
        const qint64 room = image.capacity - image.used - PackageEntry::HeaderLength;
        if (room < 0)
            return limitFailure(path);
        char *at = image.data + image.used;
        char *data = at + PackageEntry::HeaderLength;
        qint64 dataLength = -1;
        PackageEntry::Type type = PackageEntry::PlainFile;
        QFile file(path);
        if (fileName.endsWith(QLatin1String(".bmp"))) {
            const Result<QByteArray> bitmap = BitmapRows::loadBitmap(path);
            if (bitmap) {
                const auto unusable = [&path](const QString &why) {
                    return fail(QStringLiteral("[%1]不是可用的位图：%2").arg(nativePath(path), why));
                };
                const Result<qint64> length = BitmapRows::imageDataLength(*bitmap);
                if (!length)
                    return unusable(length.error());
                if (*length > room)
                    return limitFailure(path);
                const Result<qint64> written = BitmapRows::bitmapToRows(*bitmap, data, room);
                if (!written)
                    return unusable(written.error());
                dataLength = *written;
                type = PackageEntry::Image;
            }
        } else if (file.open(QIODevice::ReadOnly)) {
            if (Names::isScriptName(fileName)) {
                if (file.size() > MaxPayloadLength)
                    return limitFailure(path);
                const Result<qint64> sealed = sealScript(path, file.readAll(), data, room);
                if (!sealed)
                    return sealed;
                dataLength = *sealed;
                type = PackageEntry::SealedScript;
            } else {
                if (file.size() > room)
                    return limitFailure(path);
                // Read straight into the image; a file that shrank meanwhile gives what was there.
                dataLength = file.read(data, file.size());
                if (dataLength < 0)
                    return fail(QStringLiteral("读取[%1]失败：%2").arg(nativePath(path), file.errorString()));
            }
        }
        if (dataLength < 0) {
            if (progress)
                progress(QLatin1Char('[') + path + QStringLiteral("]打开失败...，跳过..."));
            continue;
        }
        std::memset(at, 0, PackageEntry::HeaderLength);
        Layout::write(at, PackageEntry::type, type);
        Layout::writeText(at, PackageEntry::fileName, fileName.toUtf8());
        Layout::writeText(at, PackageEntry::relativePath, relativePath);
        Layout::write(at, PackageEntry::dataLength, static_cast<quint32>(dataLength));
        ++entryCount;
        image.used += PackageEntry::HeaderLength + dataLength;
        total += PackageEntry::HeaderLength + dataLength;
    }
    return total;
}
