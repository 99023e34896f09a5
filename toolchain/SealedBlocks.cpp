#include "toolchain/SealedBlocks.h"

#include "toolchain/BuiltInPublicKey.h"

#include <QRandomGenerator>

#include <openssl/bio.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The device runtime derives its DES key with DES_string_to_key and digests with MD5; OpenSSL 3
// keeps both only as deprecated low-level calls, which are wanted here and nowhere else.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct DesKey
{
    DES_key_schedule schedule;

    explicit DesKey(const QByteArray &keyString)
    {
        // DES_string_to_key reads up to the first zero; constData() always ends in one.
        DES_cblock key;
        DES_string_to_key(keyString.constData(), &key);
        DES_set_key_unchecked(&key, &schedule);
    }

    void run(unsigned char *bytes, qint64 length, int direction)
    {
        for (qint64 offset = 0; offset < length; offset += 8) {
            auto *block = reinterpret_cast<DES_cblock *>(bytes + offset);
            DES_ecb_encrypt(block, block, &schedule, direction);
        }
    }
};

#pragma GCC diagnostic pop

// Stream pieces between zlib or DES and a sink.
constexpr int kStreamPiece = 256 * 1024;

Failure wrapFailure(const char *line, const QString &why)
{
    // The device-side tools look for these lines on standard output; the author reads why.
    std::fputs(line, stdout);
    std::fflush(stdout);
    return fail(QStringLiteral("内容密钥加密失败：") + why);
}

// Written where whole blocks are compressed and where a sealed stream's head is patched.
void writeCompressedHeader(char *at, qint64 streamLength)
{
    Layout::write(at, CompressedBlock::magic, CompressedBlock::Magic);
    Layout::write(at, CompressedBlock::headerLength, CompressedBlock::HeaderLength);
    Layout::write(at, CompressedBlock::streamLength, static_cast<quint32>(streamLength));
}

} // namespace

Result<QByteArray> SealedBlocks::compressBlock(const char *data, qint64 length)
{
    const Failure tooLarge = fail(QStringLiteral("数据过大（%1字节），无法压缩").arg(length));
    if (length < 0 || length > MaxPayloadLength * 8)
        return tooLarge;
    const uLong bound = ::compressBound(static_cast<uLong>(length));
    QByteArray block(CompressedBlock::HeaderLength + static_cast<int>(bound), Qt::Uninitialized);
    char *out = block.data();
    std::memset(out, 0, CompressedBlock::HeaderLength);
    uLongf streamLength = bound;
    if (::compress(reinterpret_cast<Bytef *>(out + CompressedBlock::HeaderLength), &streamLength,
                   reinterpret_cast<const Bytef *>(data), static_cast<uLong>(length)) != Z_OK)
        return tooLarge;
    writeCompressedHeader(out, static_cast<qint64>(streamLength));
    block.truncate(CompressedBlock::HeaderLength + static_cast<int>(streamLength));
    return block;
}

void SealedBlocks::writeCipherHeader(char *block, qint64 plainLength)
{
    const qint64 padded = paddedLength(plainLength);
    Layout::write(block, CipherBlock::magic, CipherBlock::Magic);
    Layout::write(block, CipherBlock::headerLength, CipherBlock::HeaderLength);
    Layout::write(block, CipherBlock::paddedLength, static_cast<quint32>(padded));
    Layout::write(block, CipherBlock::padCount, static_cast<quint32>(padded - plainLength));
}

QByteArray SealedBlocks::encryptBlocks(const char *plain, qint64 length, const QByteArray &keyString)
{
    QByteArray block(static_cast<int>(cipherBlockLength(length)), Qt::Uninitialized);
    if (length > 0)
        std::memcpy(block.data() + CipherBlock::HeaderLength, plain, static_cast<size_t>(length));
    encryptInPlace(block.data(), length, keyString);
    return block;
}

void SealedBlocks::encryptInPlace(char *block, qint64 length, const QByteArray &keyString)
{
    const qint64 padded = paddedLength(length);
    writeCipherHeader(block, length);
    char *text = block + CipherBlock::HeaderLength;
    std::memset(text + length, 0, static_cast<size_t>(padded - length));
    DesKey(keyString).run(reinterpret_cast<unsigned char *>(text), padded, DES_ENCRYPT);
}

Result<qint64> SealedBlocks::decryptBlocks(const char *data, qint64 available, const QByteArray &keyString,
                                           QByteArray *plain)
{
    if (available < CipherBlock::HeaderLength)
        return fail(QStringLiteral("加密块不完整"));
    if (Layout::read(data, CipherBlock::magic) != CipherBlock::Magic)
        return fail(QStringLiteral("加密块标记错误"));
    const qint64 headerLength = Layout::read(data, CipherBlock::headerLength);
    const qint64 padded = Layout::read(data, CipherBlock::paddedLength);
    const qint64 padCount = Layout::read(data, CipherBlock::padCount);
    if (headerLength != CipherBlock::HeaderLength || padded % 8 != 0 || padCount > 7 || padCount > padded)
        return fail(QStringLiteral("加密块头部无效"));
    if (padded > available - CipherBlock::HeaderLength || padded > 2 * MaxPayloadLength)
        return fail(QStringLiteral("加密块长度超出数据范围"));
    QByteArray bytes(data + CipherBlock::HeaderLength, static_cast<int>(padded));
    DesKey(keyString).run(reinterpret_cast<unsigned char *>(bytes.data()), padded, DES_DECRYPT);
    bytes.truncate(static_cast<int>(padded - padCount));
    *plain = bytes;
    return CipherBlock::HeaderLength + padded;
}

Result<qint64> SealedBlocks::decompressBlock(const char *data, qint64 available, qint64 expectedLength, QByteArray *plain)
{
    if (available < CompressedBlock::HeaderLength)
        return fail(QStringLiteral("压缩块不完整"));
    if (Layout::read(data, CompressedBlock::magic) != CompressedBlock::Magic
        || Layout::read(data, CompressedBlock::headerLength) != CompressedBlock::HeaderLength)
        return fail(QStringLiteral("压缩块标记错误"));
    const qint64 streamLength = Layout::read(data, CompressedBlock::streamLength);
    if (streamLength > available - CompressedBlock::HeaderLength)
        return fail(QStringLiteral("压缩块长度超出数据范围"));
    // zlib expands at most about 1032:1; anything claiming more is refused before allocating.
    if (expectedLength < 0 || expectedLength > MaxPayloadLength || expectedLength > streamLength * 1032 + 64)
        return fail(QStringLiteral("压缩块的原始长度无效"));
    QByteArray bytes(static_cast<int>(expectedLength), Qt::Uninitialized);
    uLongf produced = static_cast<uLongf>(expectedLength);
    uLong consumed = static_cast<uLong>(streamLength);
    const int status = ::uncompress2(reinterpret_cast<Bytef *>(bytes.data()), &produced,
                                     reinterpret_cast<const Bytef *>(data + CompressedBlock::HeaderLength), &consumed);
    if (status != Z_OK || produced != static_cast<uLongf>(expectedLength))
        return fail(QStringLiteral("压缩数据损坏或长度不符"));
    *plain = bytes;
    return CompressedBlock::HeaderLength + streamLength;
}

QByteArray SealedBlocks::keyString(const char *bytes, qint64 maxLength)
{
    if (maxLength <= 0)
        return QByteArray();
    const void *zero = std::memchr(bytes, 0, static_cast<size_t>(maxLength));
    const qint64 length = zero ? static_cast<const char *>(zero) - bytes : maxLength;
    return QByteArray(bytes, static_cast<int>(length));
}

QByteArray SealedBlocks::makeContentKey()
{
    QByteArray key(ContentKeyLength, Qt::Uninitialized);
    // The system's source: a generator seeded with the time gives keys anyone can guess. The
    // format keeps each value within 0..32767 (zero upper bytes).
    QRandomGenerator *random = QRandomGenerator::system();
    Layout::write32(key.data(), random->bounded(0x8000u));
    Layout::write32(key.data() + 4, random->bounded(0x8000u));
    return key;
}

Result<QByteArray> SealedBlocks::wrapKey(const QByteArray &contentKey)
{
    return wrapKey(contentKey, BuiltInPublicKey::pem());
}

Result<QByteArray> SealedBlocks::wrapKey(const QByteArray &contentKey, const QByteArray &publicKeyPem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(publicKeyPem.constData(), publicKeyPem.size()), &BIO_free);
    if (!bio)
        return wrapFailure("failed to open pub_key file!\n", QStringLiteral("无法读入公钥"));
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    // Containers have room for exactly 128 wrapped bytes: only a 1024-bit RSA key fits them.
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA || EVP_PKEY_get_size(key.get()) != WrappedKeyLength)
        return wrapFailure("unable to read public key!\n", QStringLiteral("公钥无法解析，或不是1024位的RSA公钥"));
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key.get(), nullptr), &EVP_PKEY_CTX_free);
    QByteArray wrapped(WrappedKeyLength, Qt::Uninitialized);
    size_t wrappedLength = static_cast<size_t>(wrapped.size());
    if (!context || EVP_PKEY_encrypt_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_encrypt(context.get(), reinterpret_cast<unsigned char *>(wrapped.data()), &wrappedLength,
                            reinterpret_cast<const unsigned char *>(contentKey.constData()),
                            static_cast<size_t>(contentKey.size())) <= 0
        || wrappedLength != static_cast<size_t>(WrappedKeyLength))
        return wrapFailure("failed to encrypt\n", QStringLiteral("RSA加密失败"));
    return wrapped;
}

QByteArray SealedBlocks::zeroExtendedMd5(const char *data, qint64 length, qint64 digestLength)
{
    Digest digest;
    const qint64 present = qBound<qint64>(0, length, digestLength);
    digest.add(data, present);
    digest.addZeros(digestLength - present);
    return digest.result();
}

struct SealedBlocks::Deflater::State
{
    z_stream stream = {};
    int initialised = Z_STREAM_ERROR;
    QByteArray buffer = QByteArray(kStreamPiece, Qt::Uninitialized);
    int used = 0;
};

SealedBlocks::Deflater::Deflater()
    : state(new State)
{
    // What compress() sets up: the default level, window and memory level.
    state->initialised = ::deflateInit(&state->stream, Z_DEFAULT_COMPRESSION);
}

SealedBlocks::Deflater::~Deflater()
{
    if (state->initialised == Z_OK)
        ::deflateEnd(&state->stream);
}

Status SealedBlocks::Deflater::add(const char *data, qint64 length, const ByteSink &out)
{
    // zlib counts input in 32-bit units.
    constexpr qint64 most = qint64(1) << 30;
    for (qint64 done = 0; done < length;) {
        const qint64 piece = qMin(length - done, most);
        state->stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data + done));
        state->stream.avail_in = static_cast<uInt>(piece);
        const Status ran = run(Z_NO_FLUSH, out);
        if (!ran)
            return ran;
        done += piece;
    }
    return Status();
}

Status SealedBlocks::Deflater::finish(const ByteSink &out)
{
    state->stream.avail_in = 0;
    const Status ran = run(Z_FINISH, out);
    if (!ran || state->used == 0)
        return ran;
    const Status sent = out(state->buffer.constData(), state->used);
    state->used = 0;
    return sent;
}

Status SealedBlocks::Deflater::run(int flush, const ByteSink &out)
{
    if (state->initialised != Z_OK)
        return fail(QStringLiteral("压缩器初始化失败"));
    z_stream &stream = state->stream;
    for (;;) {
        // The buffer goes out only when full: the pieces given to out do not depend on how the
        // input was cut.
        stream.next_out = reinterpret_cast<Bytef *>(state->buffer.data() + state->used);
        stream.avail_out = static_cast<uInt>(state->buffer.size() - state->used);
        const int status = ::deflate(&stream, flush);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return fail(QStringLiteral("压缩失败（zlib %1）").arg(status));
        state->used = state->buffer.size() - static_cast<int>(stream.avail_out);
        if (state->used == state->buffer.size()) {
            const Status sent = out(state->buffer.constData(), state->used);
            state->used = 0;
            if (!sent)
                return sent;
            continue;
        }
        if (flush == Z_FINISH ? status == Z_STREAM_END : stream.avail_in == 0)
            return Status();
    }
}

qint64 SealedBlocks::Deflater::produced() const
{
    return static_cast<qint64>(state->stream.total_out);
}

struct SealedBlocks::Encrypter::State
{
    explicit State(const QByteArray &keyString) : key(keyString) {}
    DesKey key;
    char tail[8] = {};
    int tailLength = 0;
    QByteArray work = QByteArray(kStreamPiece, Qt::Uninitialized);
};

SealedBlocks::Encrypter::Encrypter(const QByteArray &keyString)
    : state(new State(keyString))
{
}

SealedBlocks::Encrypter::~Encrypter() = default;

Status SealedBlocks::Encrypter::add(const char *data, qint64 length, const ByteSink &out)
{
    State &s = *state;
    if (s.tailLength > 0) {
        const int taken = static_cast<int>(qMin<qint64>(length, 8 - s.tailLength));
        std::memcpy(s.tail + s.tailLength, data, static_cast<size_t>(taken));
        s.tailLength += taken;
        data += taken;
        length -= taken;
        if (s.tailLength < 8)
            return Status();
        s.tailLength = 0;
        encryptInPlace(s.tail, 8);
        const Status sent = out(s.tail, 8);
        if (!sent)
            return sent;
    }
    while (length >= 8) {
        const qint64 piece = qMin<qint64>(length & ~qint64(7), s.work.size());
        std::memcpy(s.work.data(), data, static_cast<size_t>(piece));
        encryptInPlace(s.work.data(), piece);
        const Status sent = out(s.work.constData(), piece);
        if (!sent)
            return sent;
        data += piece;
        length -= piece;
    }
    std::memcpy(s.tail, data, static_cast<size_t>(length));
    s.tailLength = static_cast<int>(length);
    return Status();
}

Status SealedBlocks::Encrypter::finish(const ByteSink &out)
{
    State &s = *state;
    if (s.tailLength == 0)
        return Status();
    std::memset(s.tail + s.tailLength, 0, static_cast<size_t>(8 - s.tailLength));
    s.tailLength = 0;
    encryptInPlace(s.tail, 8);
    return out(s.tail, 8);
}

void SealedBlocks::Encrypter::encryptInPlace(char *blocks, qint64 length) const
{
    state->key.run(reinterpret_cast<unsigned char *>(blocks), length, DES_ENCRYPT);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct SealedBlocks::Digest::State
{
    MD5_CTX context;
};

SealedBlocks::Digest::Digest()
    : state(new State)
{
    MD5_Init(&state->context);
}

SealedBlocks::Digest::~Digest() = default;

void SealedBlocks::Digest::add(const char *data, qint64 length)
{
    if (length > 0)
        MD5_Update(&state->context, data, static_cast<size_t>(length));
}

void SealedBlocks::Digest::addZeros(qint64 count)
{
    static const char zeros[4096] = {};
    for (; count > 0; count -= qint64(sizeof zeros))
        add(zeros, qMin<qint64>(count, sizeof zeros));
}

QByteArray SealedBlocks::Digest::result()
{
    QByteArray digest(MD5_DIGEST_LENGTH, Qt::Uninitialized);
    MD5_Final(reinterpret_cast<unsigned char *>(digest.data()), &state->context);
    return digest;
}

#pragma GCC diagnostic pop

SealedBlocks::Sealer::Sealer(const QByteArray &keyString)
    : encrypter(keyString)
{
}

// The stream's first byte completes the head's last block; the ciphertext behind the head
// starts on a block boundary.
ByteSink SealedBlocks::Sealer::behindHead(const ByteSink &out)
{
    static_assert(PlainHeadLength == CompressedBlock::HeaderLength + 1, "the head ends one byte into the stream");
    return [this, &out](const char *data, qint64 length) {
        if (!headFilled && length > 0) {
            firstStreamByte = *data++;
            --length;
            headFilled = true;
        }
        return encrypter.add(data, length, out);
    };
}

Status SealedBlocks::Sealer::add(const char *data, qint64 length, const ByteSink &out)
{
    return deflater.add(data, length, behindHead(out));
}

Status SealedBlocks::Sealer::finish(const ByteSink &out)
{
    const Status finished = deflater.finish(behindHead(out));
    if (!finished)
        return finished;
    return encrypter.finish(out);
}

QByteArray SealedBlocks::Sealer::head() const
{
    const qint64 streamLength = deflater.produced();
    const qint64 plainLength = CompressedBlock::HeaderLength + streamLength;
    char block[HeadLength] = {};
    writeCipherHeader(block, plainLength);
    char *plain = block + CipherBlock::HeaderLength;
    writeCompressedHeader(plain, streamLength);
    plain[CompressedBlock::HeaderLength] = firstStreamByte;
    encrypter.encryptInPlace(plain, PlainHeadLength);
    return QByteArray(block, HeadLength);
}
