#include "toolchain/Package.h"

#include "common/Names.h"
#include "project/DirListing.h"
#include "common/AtomicFile.h"
#include "common/RegularFile.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/BitmapRows.h"
#include "common/FixedText.h"
#include "toolchain/SealedBlocks.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstring>

namespace {

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Failure limitFailure(const QString &path)
{
    return fail(QStringLiteral("工程内容超过100MB上限，无法打包[%1]").arg(nativePath(path)));
}

// Files, and the scratch file when it is read back, go through in pieces of this size.
constexpr qint64 kPiece = 1 << 20;

// Gives out at most `length` bytes of the device from offset on, a piece at a time, and returns
// how many there were: fewer when the device ends first (a file that shrank meanwhile gives what
// was there). Between pieces, out may write elsewhere in the same device.
Result<qint64> readPieces(QIODevice &device, const QString &path, qint64 offset, qint64 length, const ByteSink &out)
{
    QByteArray piece(static_cast<int>(qMin(length, kPiece)), Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const qint64 got = device.seek(offset + done) ? device.read(piece.data(), qMin(length - done, kPiece)) : -1;
        if (got < 0)
            return fail(QStringLiteral("读取[%1]失败：%2").arg(nativePath(path), device.errorString()));
        if (got == 0)
            break;
        const Status sent = out(piece.constData(), got);
        if (!sent)
            return fail(sent.error());
        done += got;
    }
    return done;
}

// The data of a sealed script entry: the script header, then the cipher block of the compressed
// source under a fresh content key, made as the source is read. The headers are written last,
// when the lengths are known. Returns the data's length.
Result<qint64> sealScript(QFile &file, qint64 size, Package::InnerImage &image, const ByteSink &put)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const Result<QByteArray> wrapped = SealedBlocks::wrapKey(contentKey);
    if (!wrapped)
        return fail(wrapped.error());
    const qint64 headerAt = image.used();
    const QByteArray headers(ScriptEntryHeader::Length + SealedBlocks::Sealer::HeadLength, '\0');
    const Status reserved = put(headers.constData(), headers.size());
    if (!reserved)
        return fail(reserved.error());
    SealedBlocks::Sealer sealer(SealedBlocks::keyString(contentKey.constData(), contentKey.size()));
    const Result<qint64> source = readPieces(file, file.fileName(), 0, size, [&](const char *data, qint64 length) {
        return sealer.add(data, length, put);
    });
    if (!source)
        return source;
    const Status finished = sealer.finish(put);
    if (!finished)
        return fail(finished.error());

    char header[ScriptEntryHeader::Length] = {};
    Layout::write(header, ScriptEntryHeader::magic, ScriptEntryHeader::Magic);
    Layout::write(header, ScriptEntryHeader::headerLength, ScriptEntryHeader::Length);
    Layout::write(header, ScriptEntryHeader::sourceLength, static_cast<quint32>(*source));
    Layout::write(header, ScriptEntryHeader::wrappedKeyLength, SealedBlocks::WrappedKeyLength);
    Layout::writeBytes(header, ScriptEntryHeader::wrappedKey, *wrapped);
    const Status patched = image.patch(headerAt, QByteArray(header, ScriptEntryHeader::Length) + sealer.head());
    if (!patched)
        return fail(patched.error());
    return ScriptEntryHeader::Length + sealer.blockLength();
}

// The scratch file beside the package, holding the inner image.
struct Scratch
{
    QFile &file;
    QString path;

    Failure failure(const QString &why) const
    {
        return fail(QStringLiteral("无法写入临时文件[%1]：%2").arg(nativePath(path), why));
    }

    // Reads back what was written: all of it, or the build fails.
    Status read(qint64 offset, qint64 length, const ByteSink &out) const
    {
        const Result<qint64> read = readPieces(file, path, offset, length, out);
        if (!read)
            return fail(read.error());
        return *read == length ? Status() : Status(failure(QStringLiteral("文件被截短")));
    }
};

// The package: the envelope, then the cipher block of the zlib stream of the inner image. The
// stream goes straight into the package being written, so the disk holds two copies at most:
// the inner image and the package. Its key is the digest of as many bytes of the inner image as
// the stream has (zeros past its end), known only once the stream is whole: the stream is then
// encrypted where it lies, and the scratch file is gone before that. Written aside and renamed:
// a failed build never destroys the last good package. Returns the stream's length.
Result<qint64> writePackage(const QString &path, const Scratch &scratch, QTemporaryFile &scratchFile, qint64 innerLength)
{
    const auto failure = [&path](const Status &status) {
        return fail(QStringLiteral("无法写入[%1]：%2").arg(nativePath(path), status.error()));
    };
    AtomicFile package(path);
    const ByteSink out = [&](const char *data, qint64 length) {
        const Status written = package.write(data, length);
        return written ? written : Status(failure(written));
    };
    char head[PackageEnvelope::Length + CipherBlock::HeaderLength] = {};
    Status done = package.open();
    if (!done)
        return failure(done);
    done = out(head, sizeof head);

    SealedBlocks::Deflater deflater;
    if (done)
        done = scratch.read(0, innerLength, [&](const char *data, qint64 length) { return deflater.add(data, length, out); });
    if (done)
        done = deflater.finish(out);
    const qint64 streamLength = deflater.produced();
    const qint64 padded = SealedBlocks::paddedLength(streamLength);
    if (done)
        done = out(QByteArray(static_cast<int>(padded - streamLength), '\0').constData(), padded - streamLength);
    SealedBlocks::Digest digest;
    const qint64 digested = qMin(streamLength, innerLength);
    if (done)
        done = scratch.read(0, digested, [&digest](const char *data, qint64 length) {
            digest.add(data, length);
            return Status();
        });
    if (!done)
        return fail(done.error());
    digest.addZeros(streamLength - digested);
    scratch.file.close();
    scratchFile.remove();

    Layout::write(head, PackageEnvelope::magic, PackageEnvelope::Magic);
    Layout::write(head, PackageEnvelope::envelopeLength, PackageEnvelope::Length);
    Layout::write(head, PackageEnvelope::constant2, 2);
    Layout::write(head, PackageEnvelope::constant1, 1);
    Layout::write(head, PackageEnvelope::innerLength, static_cast<quint32>(innerLength));
    Layout::writeBytes(head, PackageEnvelope::digest, digest.result());
    Layout::write(head, PackageEnvelope::innerLengthAgain, static_cast<quint32>(innerLength));
    SealedBlocks::writeCipherHeader(head + PackageEnvelope::Length, streamLength);
    // The key string runs from the digest to the first zero byte of the file: through the digest
    // and innerLength, on into the cipher block's header when neither holds a zero.
    const int keyAt = PackageEnvelope::digest.offset;
    const SealedBlocks::Encrypter encrypter(SealedBlocks::keyString(head + keyAt, qint64(sizeof head) - keyAt));
    done = package.rewrite(0, sizeof head, [&head](char *bytes, qint64) { std::memcpy(bytes, head, sizeof head); });
    if (done)
        done = package.rewrite(sizeof head, padded, [&encrypter](char *blocks, qint64 length) {
            encrypter.encryptInPlace(blocks, length);
        });
    if (done)
        done = package.commit();
    if (!done)
        return failure(done);
    return streamLength;
}

// Scratch files of builds that were killed: <name>.o of older builds and <name>.XXXXXX.o, and
// the package they were writing aside, <name>.ks.XXXXXX; else the next build would pack them.
// Links are removed as links. A build still writing one keeps its open file.
void removeLeftoverScratchFiles(const QString &root, const QString &name, const QString &own)
{
    const QRegularExpression leftover(QStringLiteral("^%1(?:(\\.[A-Za-z0-9]{6})?%2|%3\\.[A-Za-z0-9]{6})$")
                                          .arg(QRegularExpression::escape(name), QRegularExpression::escape(Names::scratchSuffix()),
                                               QRegularExpression::escape(Names::packageSuffix())));
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

Status Package::InnerImage::append(const char *data, qint64 size)
{
    if (size > room())
        return fail(QStringLiteral("超过100MB上限"));
    const Status written = AtomicFile::writeFully(*device, data, size);
    if (written)
        length += size;
    return written;
}

Status Package::InnerImage::patch(qint64 offset, const QByteArray &bytes)
{
    Q_ASSERT(offset + bytes.size() <= length);
    if (!device->seek(offset))
        return fail(device->errorString());
    const Status written = AtomicFile::writeFully(*device, bytes.constData(), bytes.size());
    if (written && !device->seek(length))
        return fail(device->errorString());
    return written;
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
    QTemporaryFile scratchFile(directory + name + QStringLiteral(".XXXXXX") + Names::scratchSuffix());
    if (!scratchFile.open())
        return fail(QStringLiteral("无法创建临时文件[%1]：%2").arg(nativePath(scratchFile.fileTemplate()), scratchFile.errorString()));
    removeLeftoverScratchFiles(root, name, scratchFile.fileName());
    // Unbuffered: each write reaches the file system at once, so a full disk is reported where
    // it happens, with its reason.
    QFile file;
    const Scratch scratch{file, scratchFile.fileName()};
    if (!file.open(scratchFile.handle(), QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return scratch.failure(file.errorString());
    InnerImage image(&file, MaxPayloadLength);
    // The header is written last, when the entries are counted.
    Status written = image.append(QByteArray(PackageHeader::Length, '\0'));
    if (!written)
        return scratch.failure(written.error());

    quint32 entryCount = 0;
    const Result<qint64> entriesLength = packDirectory(root, root, image, entryCount, progress);
    if (!entriesLength)
        return fail(entriesLength.error());
    if (mainScript.size() > image.room())
        return limitFailure(directory + Names::compiledMainScript());
    const qint64 mainOffset = image.used();
    written = image.append(mainScript);
    if (!written)
        return scratch.failure(written.error());

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
    written = image.patch(0, QByteArray(header, PackageHeader::Length));
    if (!written)
        return scratch.failure(written.error());

    const Result<qint64> streamLength = writePackage(directory + name + Names::packageSuffix(), scratch, scratchFile, innerLength);
    if (!streamLength)
        return fail(streamLength.error());
    return static_cast<int>(*streamLength);
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
        // Where a script run on the PC keeps what it writes to device paths.
        if (listed.isDir && listed.directory == root && listed.name == Names::runFolder())
            continue;
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
            progress(QStringLiteral("正在打包[") + nativePath(path) + QLatin1Char(']'));

        const QByteArray relativePath = path.mid(prefix.size()).toUtf8();
        const int pathWidth = PackageEntry::relativePath.width;
        if (!FixedText::fits(relativePath, pathWidth))
            return fail(QStringLiteral("[%1]的相对路径超过%2字节，无法打包").arg(nativePath(path)).arg(pathWidth - 1));
        const qint64 room = image.room() - PackageEntry::HeaderLength;
        if (room < 0)
            return limitFailure(path);

        // A file that cannot be opened (or is no longer a regular file) is passed over.
        QFile file;
        if (!RegularFile::open(file, path)) {
            if (progress)
                progress(QLatin1Char('[') + nativePath(path) + QStringLiteral("]打开失败...，跳过..."));
            continue;
        }
        const bool isBitmap = fileName.endsWith(QLatin1String(".bmp"));
        const bool isScript = Names::isScriptName(fileName);
        const qint64 size = file.size();
        if (size > (isBitmap ? BitmapRows::MaxFileLength : isScript ? MaxPayloadLength : room))
            return limitFailure(path);

        // What goes into the image is checked against its limit on the way. The last put is
        // kept: when a conversion stops, it tells whether the image or the file was the reason.
        Status lastPut;
        const ByteSink put = [&](const char *data, qint64 length) {
            if (length > image.room())
                lastPut = limitFailure(path);
            else if (const Status appended = image.append(data, length); !appended)
                lastPut = fail(QStringLiteral("无法写入临时文件：%1").arg(appended.error()));
            return lastPut;
        };
        // The length the data will have, when known before it is written.
        PackageEntry::Type type = PackageEntry::PlainFile;
        qint64 expected = size;
        const auto unusable = [&path](const QString &why) {
            return fail(QStringLiteral("[%1]不是可用的位图：%2").arg(nativePath(path), why));
        };
        if (isBitmap) {
            const Result<qint64> length = BitmapRows::imageDataLength(file);
            if (!length)
                return unusable(length.error());
            if (*length > room)
                return limitFailure(path);
            type = PackageEntry::Image;
            expected = *length;
        } else if (isScript) {
            type = PackageEntry::SealedScript;
            expected = 0;
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
        Layout::write(header, PackageEntry::dataLength, static_cast<quint32>(expected));
        const qint64 entryAt = image.used();
        if (!put(header, PackageEntry::HeaderLength))
            return fail(lastPut.error());

        Result<qint64> data = 0;
        if (isBitmap) {
            data = BitmapRows::writeRows(file, expected, put);
            if (!data && lastPut)
                return unusable(data.error());
        } else if (isScript) {
            data = sealScript(file, size, image, put);
        } else {
            data = readPieces(file, path, 0, size, put);
        }
        if (!data)
            return fail(data.error());
        if (*data != expected) {
            Layout::write(header, PackageEntry::dataLength, static_cast<quint32>(*data));
            const Status patched = image.patch(entryAt, QByteArray(header, PackageEntry::HeaderLength));
            if (!patched)
                return fail(QStringLiteral("无法写入临时文件：%1").arg(patched.error()));
        }
        ++entryCount;
        total += PackageEntry::HeaderLength + *data;
    }
    return total;
}
