#include "toolchain/Package.h"

#include "common/Names.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/BitmapRows.h"
#include "toolchain/FixedText.h"
#include "toolchain/SealedBlocks.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <zlib.h>

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

// The data of a sealed script entry: the script header, then the cipher block of the
// compressed source under a fresh content key.
Result<QByteArray> sealScript(const QString &path, const QByteArray &source)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const Result<QByteArray> wrapped = SealedBlocks::wrapKey(contentKey);
    if (!wrapped)
        return fail(wrapped.error());
    const Result<QByteArray> compressed = SealedBlocks::compressBlock(source);
    if (!compressed)
        return limitFailure(path);
    char header[ScriptEntryHeader::Length] = {};
    Layout::write(header, ScriptEntryHeader::magic, ScriptEntryHeader::Magic);
    Layout::write(header, ScriptEntryHeader::headerLength, ScriptEntryHeader::Length);
    Layout::write(header, ScriptEntryHeader::sourceLength, static_cast<quint32>(source.size()));
    Layout::write(header, ScriptEntryHeader::wrappedKeyLength, SealedBlocks::WrappedKeyLength);
    Layout::writeBytes(header, ScriptEntryHeader::wrappedKey, *wrapped);
    return QByteArray(header, ScriptEntryHeader::Length)
        + SealedBlocks::encryptBlocks(*compressed, SealedBlocks::keyString(contentKey.constData(), contentKey.size()));
}

// A bitmap whose rows fit the inner image is never larger than this (32-bit pixels and padding).
constexpr qint64 MaxBitmapFileLength = 2 * MaxPayloadLength;

// Scratch files of builds that were killed: <name>.o of older builds and <name>.XXXXXX.o. Links
// are removed as links. A build still writing one keeps its open file.
void removeLeftoverScratchFiles(const QString &root, const QString &name, const QString &own)
{
    const QRegularExpression leftover(QStringLiteral("^%1(\\.[A-Za-z0-9]{6})?%2$")
                                          .arg(QRegularExpression::escape(name), QRegularExpression::escape(Names::scratchSuffix())));
    for (const QFileInfo &entry : QDir(root).entryInfoList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (leftover.match(entry.fileName()).hasMatch() && entry.absoluteFilePath() != QFileInfo(own).absoluteFilePath())
            QFile::remove(entry.absoluteFilePath());
    }
}

bool validName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

Package::InnerImage::InnerImage(QIODevice *device, qint64 capacity)
    : device(device)
    , capacity(capacity)
{
}

Status Package::InnerImage::append(const QByteArray &bytes)
{
    if (bytes.size() > room())
        return fail(QStringLiteral("超过100MB上限"));
    if (device->write(bytes) != bytes.size())
        return fail(device->errorString());
    length += bytes.size();
    return Status();
}

Result<int> Package::build(const QString &projectDirectory, const QString &name, const QString &version,
                           const QString &description, const QByteArray &mainScript, int type, const Progress &progress)
{
    if (!validName(name))
        return fail(QStringLiteral("工程名称[%1]不能用作包的文件名").arg(name));
    const QString root = QDir(projectDirectory).absolutePath();
    const QString directory = root + QLatin1Char('/');

    // A name of its own, made exclusively: a second build, or a link planted under the name,
    // never shares or redirects it. Its suffix keeps it out of the package.
    QTemporaryFile scratch(directory + name + QStringLiteral(".XXXXXX") + Names::scratchSuffix());
    const auto scratchFailure = [&scratch]() {
        return fail(QStringLiteral("无法写入临时文件[%1]：%2").arg(nativePath(scratch.fileName()), scratch.errorString()));
    };
    if (!scratch.open())
        return fail(QStringLiteral("无法创建临时文件[%1]：%2").arg(nativePath(scratch.fileTemplate()), scratch.errorString()));
    removeLeftoverScratchFiles(root, name, scratch.fileName());
    InnerImage image(&scratch, MaxPayloadLength);
    // The header is written last, when the entries are counted.
    if (!image.append(QByteArray(PackageHeader::Length, '\0')))
        return scratchFailure();

    quint32 entryCount = 0;
    const Result<qint64> entriesLength = packDirectory(root, root, image, entryCount, progress);
    if (!entriesLength)
        return fail(entriesLength.error());
    if (mainScript.size() > image.room())
        return limitFailure(directory + Names::compiledMainScript());
    const qint64 mainOffset = image.used();
    if (!image.append(mainScript))
        return scratchFailure();

    char header[PackageHeader::Length] = {};
    Layout::write(header, PackageHeader::magic, PackageHeader::Magic);
    Layout::write(header, PackageHeader::type, static_cast<quint32>(type));
    Layout::writeText(header, PackageHeader::name, name.toUtf8());
    Layout::writeText(header, PackageHeader::version, version.toUtf8());
    Layout::writeText(header, PackageHeader::description, description.toUtf8());
    Layout::write(header, PackageHeader::entryCount, entryCount);
    Layout::write(header, PackageHeader::entryHeaderLength, PackageEntry::HeaderLength);
    Layout::write(header, PackageHeader::entriesLength, static_cast<quint32>(*entriesLength));
    Layout::write(header, PackageHeader::firstEntryOffset, PackageHeader::Length);
    Layout::write(header, PackageHeader::mainOffset, static_cast<quint32>(mainOffset));
    Layout::write(header, PackageHeader::mainLength, static_cast<quint32>(mainScript.size()));
    const qint64 innerLength = image.used();
    if (!scratch.flush() || !scratch.seek(0) || scratch.write(header, PackageHeader::Length) != PackageHeader::Length
        || !scratch.flush())
        return scratchFailure();
    // Every byte of the mapping was written above: reading it cannot meet a hole of a full disk.
    const uchar *inner = scratch.map(0, innerLength, QFileDevice::MapPrivateOption);
    if (!inner)
        return scratchFailure();

    // Envelope, then the zlib stream behind the cipher block's header, encrypted there in place.
    const uLong bound = ::compressBound(static_cast<uLong>(innerLength));
    const qint64 streamAt = PackageEnvelope::Length + CipherBlock::HeaderLength;
    std::vector<char> package(static_cast<size_t>(streamAt + SealedBlocks::paddedLength(bound)));
    char *out = package.data();
    uLongf compressedLength = bound;
    if (::compress(reinterpret_cast<Bytef *>(out + streamAt), &compressedLength, inner, static_cast<uLong>(innerLength)) != Z_OK)
        return fail(QStringLiteral("压缩工程内容失败"));
    Layout::write(out, PackageEnvelope::magic, PackageEnvelope::Magic);
    Layout::write(out, PackageEnvelope::envelopeLength, PackageEnvelope::Length);
    Layout::write(out, PackageEnvelope::constant2, 2);
    Layout::write(out, PackageEnvelope::constant1, 1);
    Layout::write(out, PackageEnvelope::innerLength, static_cast<quint32>(innerLength));
    Layout::writeBytes(out, PackageEnvelope::digest,
                       SealedBlocks::zeroExtendedMd5(reinterpret_cast<const char *>(inner), innerLength,
                                                     static_cast<qint64>(compressedLength)));
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
    const QString root = QDir(projectDirectory).absolutePath();
    const QString prefix = root + QLatin1Char('/');
    const Result<QVector<DirListing::Entry>> listing = DirListing::list(QDir(directory).absolutePath());
    if (!listing)
        return fail(listing.error());
    qint64 total = 0;
    for (const DirListing::Entry &listed : *listing) {
        const QString path = listed.path();
        if (listed.isDir) {
            const Result<qint64> appended = packDirectory(path, projectDirectory, image, entryCount, progress);
            if (!appended)
                return appended;
            total += *appended;
            continue;
        }
        const QString &fileName = listed.name;
        // What builds make in the project directory is never packed.
        if (fileName.endsWith(Names::scratchSuffix()) || fileName.endsWith(Names::packageSuffix())
            || (listed.directory == root && fileName == Names::buildLock()))
            continue;
        if (progress)
            progress(QStringLiteral("正在打包[") + path + QLatin1Char(']'));

        const QByteArray relativePath = path.mid(prefix.size()).toUtf8();
        const int pathWidth = PackageEntry::relativePath.width;
        if (!FixedText::fits(relativePath, pathWidth))
            return fail(QStringLiteral("[%1]的相对路径超过%2字节，无法打包").arg(nativePath(path)).arg(pathWidth - 1));
        const qint64 room = image.room() - PackageEntry::HeaderLength;
        if (room < 0)
            return limitFailure(path);

        // A file that cannot be opened (or is no longer a regular file) is passed over.
        QFile file;
        if (!FileOperations::openRegular(file, path)) {
            if (progress)
                progress(QLatin1Char('[') + path + QStringLiteral("]打开失败...，跳过..."));
            continue;
        }
        const bool isBitmap = fileName.endsWith(QLatin1String(".bmp"));
        const bool isScript = Names::isScriptName(fileName);
        const qint64 cap = isBitmap ? MaxBitmapFileLength : isScript ? MaxPayloadLength : room;
        if (file.size() > cap)
            return limitFailure(path);
        // What the file held when it was opened; a file that shrank meanwhile gives what was there.
        const QByteArray bytes = file.read(file.size());
        if (file.error() != QFileDevice::NoError)
            return fail(QStringLiteral("读取[%1]失败：%2").arg(nativePath(path), file.errorString()));

        QByteArray data;
        PackageEntry::Type type = PackageEntry::PlainFile;
        if (isBitmap) {
            const auto unusable = [&path](const QString &why) {
                return fail(QStringLiteral("[%1]不是可用的位图：%2").arg(nativePath(path), why));
            };
            const Result<qint64> length = BitmapRows::imageDataLength(bytes);
            if (!length)
                return unusable(length.error());
            if (*length > room)
                return limitFailure(path);
            const Result<QByteArray> rows = BitmapRows::bitmapToRows(bytes);
            if (!rows)
                return unusable(rows.error());
            data = *rows;
            type = PackageEntry::Image;
        } else if (isScript) {
            const Result<QByteArray> sealed = sealScript(path, bytes);
            if (!sealed)
                return fail(sealed.error());
            if (sealed->size() > room)
                return limitFailure(path);
            data = *sealed;
            type = PackageEntry::SealedScript;
        } else {
            data = bytes;
        }

        // The device finds the file by its relative path; the name is what it shows, so a long
        // one keeps its extension.
        const QByteArray fullName = fileName.toUtf8();
        const QByteArray shownName = FixedText::cutFileName(fullName, PackageEntry::fileName.width - 1);
        if (shownName != fullName && progress)
            progress(QStringLiteral("文件名[%1]超过%2字节，包中显示为[%3]")
                         .arg(fileName)
                         .arg(PackageEntry::fileName.width - 1)
                         .arg(QString::fromUtf8(shownName)));

        char header[PackageEntry::HeaderLength] = {};
        Layout::write(header, PackageEntry::type, type);
        Layout::writeText(header, PackageEntry::fileName, shownName);
        Layout::writeText(header, PackageEntry::relativePath, relativePath);
        Layout::write(header, PackageEntry::dataLength, static_cast<quint32>(data.size()));
        Status appended = image.append(QByteArray::fromRawData(header, PackageEntry::HeaderLength));
        if (appended)
            appended = image.append(data);
        if (!appended)
            return fail(QStringLiteral("无法写入临时文件：%1").arg(appended.error()));
        ++entryCount;
        total += PackageEntry::HeaderLength + data.size();
    }
    return total;
}
