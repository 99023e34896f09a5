#include "toolchain/SealedBlocks.h"

#include "toolchain/BuiltInPublicKey.h"

#include <QtEndian>

#include <openssl/bio.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
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

QByteArray md5Of(const char *data, qint64 length, qint64 digestLength)
{
    MD5_CTX context;
    MD5_Init(&context);
    const qint64 present = qMin(length, digestLength);
    if (present > 0)
        MD5_Update(&context, data, static_cast<size_t>(present));
    static const char zeros[4096] = {};
    for (qint64 rest = digestLength - qMax<qint64>(present, 0); rest > 0; rest -= qint64(sizeof zeros))
        MD5_Update(&context, zeros, static_cast<size_t>(qMin<qint64>(rest, sizeof zeros)));
    QByteArray digest(MD5_DIGEST_LENGTH, Qt::Uninitialized);
    MD5_Final(reinterpret_cast<unsigned char *>(digest.data()), &context);
    return digest;
}

#pragma GCC diagnostic pop

quint32 read32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

void write32(char *p, quint32 value)
{
    qToLittleEndian<quint32>(value, p);
}

qint64 refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return -1;
}

QByteArray wrapFailure(const char *line, QString *error)
{
    // The device-side tools look for these lines on standard output.
    std::fputs(line, stdout);
    std::fflush(stdout);
    if (error)
        *error = QStringLiteral("内容密钥加密失败：%1").arg(QString::fromLatin1(line).trimmed());
    return QByteArray();
}

} // namespace

QByteArray SealedBlocks::compressBlock(const char *data, qint64 length)
{
    if (length < 0 || length > MaxPlainLength * 8)
        return QByteArray();
    const uLong bound = ::compressBound(static_cast<uLong>(length));
    QByteArray block(CompressedHeaderLength + static_cast<int>(bound), Qt::Uninitialized);
    char *out = block.data();
    std::memset(out, 0, CompressedHeaderLength);
    uLongf streamLength = bound;
    if (::compress(reinterpret_cast<Bytef *>(out + CompressedHeaderLength), &streamLength,
                   reinterpret_cast<const Bytef *>(data), static_cast<uLong>(length)) != Z_OK)
        return QByteArray();
    write32(out, CompressedMagic);
    out[4] = CompressedHeaderLength;
    write32(out + 12, static_cast<quint32>(streamLength));
    block.truncate(CompressedHeaderLength + static_cast<int>(streamLength));
    return block;
}

QByteArray SealedBlocks::encryptBlocks(const char *plain, qint64 length, const QByteArray &keyString)
{
    QByteArray block(static_cast<int>(cipherBlockLength(length)), Qt::Uninitialized);
    if (length > 0)
        std::memcpy(block.data() + CipherHeaderLength, plain, static_cast<size_t>(length));
    encryptInPlace(block.data(), length, keyString);
    return block;
}

void SealedBlocks::encryptInPlace(char *block, qint64 length, const QByteArray &keyString)
{
    const qint64 padded = paddedLength(length);
    write32(block, CipherMagic);
    write32(block + 4, CipherHeaderLength);
    write32(block + 8, static_cast<quint32>(padded));
    write32(block + 12, static_cast<quint32>(padded - length));
    std::memset(block + CipherHeaderLength + length, 0, static_cast<size_t>(padded - length));
    DesKey(keyString).run(reinterpret_cast<unsigned char *>(block + CipherHeaderLength), padded, DES_ENCRYPT);
}

qint64 SealedBlocks::decryptBlocks(const char *data, qint64 available, const QByteArray &keyString,
                                   QByteArray *plain, QString *error)
{
    if (available < CipherHeaderLength)
        return refuse(error, QStringLiteral("加密块不完整"));
    if (read32(data) != CipherMagic)
        return refuse(error, QStringLiteral("加密块标记错误"));
    const qint64 headerLength = read32(data + 4);
    const qint64 padded = read32(data + 8);
    const qint64 padCount = read32(data + 12);
    if (headerLength != CipherHeaderLength || padded % 8 != 0 || padCount > 7 || padCount > padded)
        return refuse(error, QStringLiteral("加密块头部无效"));
    if (padded > available - CipherHeaderLength || padded > 2 * MaxPlainLength)
        return refuse(error, QStringLiteral("加密块长度超出数据范围"));
    QByteArray bytes(data + CipherHeaderLength, static_cast<int>(padded));
    DesKey(keyString).run(reinterpret_cast<unsigned char *>(bytes.data()), padded, DES_DECRYPT);
    bytes.truncate(static_cast<int>(padded - padCount));
    *plain = bytes;
    return CipherHeaderLength + padded;
}

qint64 SealedBlocks::decompressBlock(const char *data, qint64 available, qint64 expectedLength,
                                     QByteArray *plain, QString *error)
{
    if (available < CompressedHeaderLength)
        return refuse(error, QStringLiteral("压缩块不完整"));
    if (read32(data) != CompressedMagic || static_cast<unsigned char>(data[4]) != CompressedHeaderLength)
        return refuse(error, QStringLiteral("压缩块标记错误"));
    const qint64 streamLength = read32(data + 12);
    if (streamLength > available - CompressedHeaderLength)
        return refuse(error, QStringLiteral("压缩块长度超出数据范围"));
    // zlib expands at most about 1032:1; anything claiming more is refused before allocating.
    if (expectedLength < 0 || expectedLength > MaxPlainLength || expectedLength > streamLength * 1032 + 64)
        return refuse(error, QStringLiteral("压缩块的原始长度无效"));
    QByteArray bytes(static_cast<int>(expectedLength), Qt::Uninitialized);
    uLongf produced = static_cast<uLongf>(expectedLength);
    uLong consumed = static_cast<uLong>(streamLength);
    const int status = ::uncompress2(reinterpret_cast<Bytef *>(bytes.data()), &produced,
                                     reinterpret_cast<const Bytef *>(data + CompressedHeaderLength), &consumed);
    if (status != Z_OK || produced != static_cast<uLongf>(expectedLength))
        return refuse(error, QStringLiteral("压缩数据损坏或长度不符"));
    *plain = bytes;
    return CompressedHeaderLength + streamLength;
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
    // The format promises values of 0..32767 (zero upper bytes) whatever RAND_MAX is here.
    write32(key.data(), static_cast<quint32>(std::rand() & 0x7FFF));
    write32(key.data() + 4, static_cast<quint32>(std::rand() & 0x7FFF));
    return key;
}

QByteArray SealedBlocks::wrapKey(const QByteArray &contentKey, QString *error)
{
    return wrapKey(contentKey, BuiltInPublicKey::pem(), error);
}

QByteArray SealedBlocks::wrapKey(const QByteArray &contentKey, const QByteArray &publicKeyPem, QString *error)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(publicKeyPem.constData(), publicKeyPem.size()), &BIO_free);
    if (!bio)
        return wrapFailure("failed to open pub_key file!\n", error);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    // Containers have room for exactly 128 wrapped bytes: only a 1024-bit RSA key fits them.
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA || EVP_PKEY_get_size(key.get()) != WrappedKeyLength)
        return wrapFailure("unable to read public key!\n", error);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key.get(), nullptr), &EVP_PKEY_CTX_free);
    QByteArray wrapped(WrappedKeyLength, Qt::Uninitialized);
    size_t wrappedLength = static_cast<size_t>(wrapped.size());
    if (!context || EVP_PKEY_encrypt_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_encrypt(context.get(), reinterpret_cast<unsigned char *>(wrapped.data()), &wrappedLength,
                            reinterpret_cast<const unsigned char *>(contentKey.constData()),
                            static_cast<size_t>(contentKey.size())) <= 0
        || wrappedLength != static_cast<size_t>(WrappedKeyLength))
        return wrapFailure("failed to encrypt\n", error);
    return wrapped;
}

QByteArray SealedBlocks::zeroExtendedMd5(const char *data, qint64 length, qint64 digestLength)
{
    return md5Of(data, length, digestLength);
}
