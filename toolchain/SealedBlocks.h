#pragma once

#include "common/Result.h"
#include "toolchain/BinaryLayout.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The byte-level blocks every build artefact is made of: the compressed block (31-byte header
// and a zlib stream), the cipher block (16-byte header and DES-ECB ciphertext), the 8-byte
// content key and the content key wrapped with the built-in RSA public key. These bytes are read
// by the device runtime, so their layout never changes.
//
// The readers (decryptBlocks, decompressBlock) take untrusted bytes: they return the number of
// bytes the block occupies, or why it cannot be read, and never read past `available`.
class SealedBlocks
{
public:
    static constexpr int ContentKeyLength = 8;
    static constexpr int WrappedKeyLength = 128;

    // Compressed block of the input; fails only for an input too large for zlib.
    static Result<QByteArray> compressBlock(const char *data, qint64 length);
    static Result<QByteArray> compressBlock(const QByteArray &data) { return compressBlock(data.constData(), data.size()); }

    // The plaintext length raised to the next multiple of 8.
    static qint64 paddedLength(qint64 length) { return (length + 7) & ~qint64(7); }
    static qint64 cipherBlockLength(qint64 plainLength) { return CipherBlock::HeaderLength + paddedLength(plainLength); }

    // Cipher block of the plaintext under the key string (the bytes up to its first zero).
    static QByteArray encryptBlocks(const char *plain, qint64 length, const QByteArray &keyString);
    static QByteArray encryptBlocks(const QByteArray &plain, const QByteArray &keyString)
    {
        return encryptBlocks(plain.constData(), plain.size(), keyString);
    }
    // Turns the plaintext lying at block + 16 into a cipher block where it lies: writes the
    // header in front, zeroes the pad bytes and encrypts in place. The buffer must hold
    // cipherBlockLength(length) bytes.
    static void encryptInPlace(char *block, qint64 length, const QByteArray &keyString);

    // Reads a cipher block at data and decrypts it into *plain.
    static Result<qint64> decryptBlocks(const char *data, qint64 available, const QByteArray &keyString,
                                        QByteArray *plain);
    // Reads a compressed block at data whose input was expectedLength bytes long.
    static Result<qint64> decompressBlock(const char *data, qint64 available, qint64 expectedLength, QByteArray *plain);

    // The key string that starts at bytes: every byte up to the first zero, at most maxLength.
    static QByteArray keyString(const char *bytes, qint64 maxLength);

    // Two rand() results, each cut to 0..32767, as two little-endian 32-bit integers.
    static QByteArray makeContentKey();
    // The content key encrypted with RSA PKCS #1 v1.5 under the built-in public key (or the
    // PEM text given): 128 bytes.
    static Result<QByteArray> wrapKey(const QByteArray &contentKey);
    static Result<QByteArray> wrapKey(const QByteArray &contentKey, const QByteArray &publicKeyPem);

    // MD5 of the first digestLength bytes of data, where bytes past length count as zero.
    static QByteArray zeroExtendedMd5(const char *data, qint64 length, qint64 digestLength);
};
