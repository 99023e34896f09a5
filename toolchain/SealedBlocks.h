#pragma once

#include "common/Result.h"
#include "toolchain/BinaryLayout.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

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
    // Writes the CipherBlock::HeaderLength bytes of a cipher block of plainLength bytes at block.
    static void writeCipherHeader(char *block, qint64 plainLength);

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

    // Two values of 0..32767 from the system's random source, as two little-endian 32-bit
    // integers.
    static QByteArray makeContentKey();
    // The content key encrypted with RSA PKCS #1 v1.5 under the built-in public key (or the
    // PEM text given): 128 bytes.
    static Result<QByteArray> wrapKey(const QByteArray &contentKey);
    static Result<QByteArray> wrapKey(const QByteArray &contentKey, const QByteArray &publicKeyPem);

    // MD5 of the first digestLength bytes of data, where bytes past length count as zero.
    static QByteArray zeroExtendedMd5(const char *data, qint64 length, qint64 digestLength);

    // The same work for data that never lies in memory whole (a package's inner image, a large
    // script), fed a piece at a time; each gives exactly the bytes of its one-shot form.

    // The zlib stream of compress() at the default level.
    class Deflater
    {
    public:
        Deflater();
        ~Deflater();
        Status add(const char *data, qint64 length, const ByteSink &out);
        // Ends the stream; nothing may be added after it.
        Status finish(const ByteSink &out);
        qint64 produced() const;

    private:
        Status run(int flush, const ByteSink &out);
        struct State;
        std::unique_ptr<State> state;
    };

    // DES-ECB under a key string, as in a cipher block: finish() fills the last block with zeros.
    class Encrypter
    {
    public:
        explicit Encrypter(const QByteArray &keyString);
        ~Encrypter();
        Status add(const char *data, qint64 length, const ByteSink &out);
        Status finish(const ByteSink &out);
        // Encrypts whole 8-byte blocks where they lie, apart from the stream.
        void encryptInPlace(char *blocks, qint64 length) const;

    private:
        struct State;
        std::unique_ptr<State> state;
    };

    // MD5, fed a piece at a time.
    class Digest
    {
    public:
        Digest();
        ~Digest();
        void add(const char *data, qint64 length);
        void addZeros(qint64 count);
        QByteArray result();

    private:
        struct State;
        std::unique_ptr<State> state;
    };

    // The cipher block of the compressed block of a payload fed a piece at a time, the bytes of
    // encryptBlocks(compressBlock(payload), key). Its first HeadLength bytes (the cipher block's
    // header and the blocks that hold the compressed block's header) depend on the length of
    // the compressed stream: the rest goes out as it is made, the head comes from head() after
    // finish().
    class Sealer
    {
    public:
        // The compressed block's header, in whole DES blocks.
        static constexpr int PlainHeadLength = (CompressedBlock::HeaderLength + 7) / 8 * 8;
        static constexpr int HeadLength = CipherBlock::HeaderLength + PlainHeadLength;

        explicit Sealer(const QByteArray &keyString);
        Status add(const char *data, qint64 length, const ByteSink &out);
        Status finish(const ByteSink &out);
        QByteArray head() const;
        qint64 blockLength() const { return cipherBlockLength(CompressedBlock::HeaderLength + deflater.produced()); }

    private:
        ByteSink behindHead(const ByteSink &out);

        Deflater deflater;
        Encrypter encrypter;
        char firstStreamByte = 0; // the last byte of the head's plaintext
        bool headFilled = false;
    };
};
