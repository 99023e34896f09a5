#include "toolchain/BuiltInPublicKey.h"
#include "simulator/KeyUnwrapper.h"
#include "toolchain/SealedBlocks.h"
#include "support/DeviceKey.h"
#include "support/WireBytes.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

using WireBytes::le;
using WireBytes::u32;
using WireBytes::withField;

QByteArray randomBytes(int length, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(length, Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray inflate(const QByteArray &stream, int length)
{
    QByteArray out(length, Qt::Uninitialized);
    uLongf produced = static_cast<uLongf>(length);
    if (uncompress(reinterpret_cast<Bytef *>(out.data()), &produced,
                   reinterpret_cast<const Bytef *>(stream.constData()), static_cast<uLong>(stream.size())) != Z_OK
        || produced != static_cast<uLongf>(length))
        return "inflate failed";
    return out;
}

} // namespace

class SealedBlocksTest : public QObject
{
    Q_OBJECT

private slots:
    void compressedBlockLayout_data();
    void compressedBlockLayout();
    void cipherBlockLayoutAndRoundTrip_data();
    void cipherBlockLayoutAndRoundTrip();
    void keyStrings_data();
    void keyStrings();
    void decryptRefusesBrokenBlocks_data();
    void decryptRefusesBrokenBlocks();
    void decompressRefusesBrokenBlocks_data();
    void decompressRefusesBrokenBlocks();
    void contentKeysAndTheirWrapping();
    void wrapKeyFailures_data();
    void wrapKeyFailures();
    void zeroExtendedDigest_data();
    void zeroExtendedDigest();
};

void SealedBlocksTest::compressedBlockLayout_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("repetitive") << QByteArray(100000, 'a');
    QTest::newRow("random 64 KiB") << randomBytes(65536, 7);
}

void SealedBlocksTest::compressedBlockLayout()
{
    QFETCH(QByteArray, input);
    const QByteArray block = SealedBlocks::compressBlock(input).valueOr(QByteArray());
    // Magic, header length 31, zeros, the stream's length, zeros.
    QCOMPARE(block.left(31), le(0x11FE44AB) + char(31) + QByteArray(7, '\0') + le(block.size() - 31) + QByteArray(15, '\0'));
    QCOMPARE(inflate(block.mid(31), input.size()), input);

    // The stream is zlib's one-shot compress at the default level.
    QByteArray expected(static_cast<int>(compressBound(static_cast<uLong>(input.size()))), Qt::Uninitialized);
    uLongf expectedLength = static_cast<uLongf>(expected.size());
    QCOMPARE(compress(reinterpret_cast<Bytef *>(expected.data()), &expectedLength,
                      reinterpret_cast<const Bytef *>(input.constData()), static_cast<uLong>(input.size())), Z_OK);
    QCOMPARE(block.mid(31), expected.left(static_cast<int>(expectedLength)));

    QByteArray back;
    QCOMPARE(SealedBlocks::decompressBlock(block.constData(), block.size(), input.size(), &back).valueOr(-1), qint64(block.size()));
    QCOMPARE(back, input);
}

void SealedBlocksTest::cipherBlockLayoutAndRoundTrip_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("padded");
    for (int length = 0; length <= 17; ++length)
        QTest::addRow("%d bytes", length) << length << (length + 7) / 8 * 8;
    QTest::newRow("1 MiB + 3") << (1 << 20) + 3 << (1 << 20) + 8;
}

void SealedBlocksTest::cipherBlockLayoutAndRoundTrip()
{
    QFETCH(int, length);
    QFETCH(int, padded);
    const QByteArray plain = randomBytes(length, static_cast<quint32>(length));
    const QByteArray key = "k1";
    const QByteArray block = SealedBlocks::encryptBlocks(plain, key);
    QCOMPARE(block.size(), 16 + padded);
    QCOMPARE(block.left(16), le(qint32(0xFDABBBCC)) + le(16) + le(padded) + le(padded - length));
    if (length >= 8)
        QVERIFY(block.mid(16, 8) != plain.left(8));

    QByteArray back;
    QCOMPARE(SealedBlocks::decryptBlocks(block.constData(), block.size(), key, &back).valueOr(-1), qint64(block.size()));
    QCOMPARE(back, plain);
    // Trailing bytes after the block are not part of it.
    const QByteArray followed = block + "trailing";
    QCOMPARE(SealedBlocks::decryptBlocks(followed.constData(), followed.size(), key, &back).valueOr(-1), qint64(block.size()));
    QCOMPARE(back, plain);
    // Sealed in place, over header and pad bytes that start as garbage: the same block.
    QByteArray buffer = QByteArray(16, '\xEE') + plain + QByteArray(padded - length, '\xEE');
    SealedBlocks::encryptInPlace(buffer.data(), length, key);
    QCOMPARE(buffer, block);
}

void SealedBlocksTest::keyStrings_data()
{
    QTest::addColumn<QByteArray>("keyBytes");
    QTest::addColumn<QByteArray>("keyString");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("leading zero") << QByteArray("\0\x12\0\0\x34\x56\0\0", 8) << QByteArray();
    QTest::newRow("one byte") << QByteArray("\x7f\0\0\0\x01\x02\0\0", 8) << QByteArray("\x7f");
    QTest::newRow("two bytes") << QByteArray("\x34\x12\0\0\x01\x02\0\0", 8) << QByteArray("\x34\x12");
    QTest::newRow("seven bytes") << QByteArray("abcdefg") << QByteArray("abcdefg");
    QTest::newRow("no zero within the limit") << QByteArray("abcdefghij") << QByteArray("abcdefgh");
}

void SealedBlocksTest::keyStrings()
{
    QFETCH(QByteArray, keyBytes);
    QFETCH(QByteArray, keyString);
    const QByteArray taken = SealedBlocks::keyString(keyBytes.constData(), qMin(keyBytes.size(), 8));
    QCOMPARE(taken, keyString);

    // Only the bytes before the first zero count: the same cipher text, and it opens again.
    const QByteArray plain = "sixteen byte msg and some more";
    const QByteArray block = SealedBlocks::encryptBlocks(plain, taken);
    QCOMPARE(SealedBlocks::encryptBlocks(plain, keyString + QByteArray("\0ignored", 8)), block);
    QByteArray back;
    QVERIFY(SealedBlocks::decryptBlocks(block.constData(), block.size(), keyString, &back));
    QCOMPARE(back, plain);
    QVERIFY(SealedBlocks::encryptBlocks(plain, keyString + "x") != block);
}

void SealedBlocksTest::decryptRefusesBrokenBlocks_data()
{
    QTest::addColumn<QByteArray>("block");
    const QByteArray good = SealedBlocks::encryptBlocks(QByteArray("0123456789"), "k");
    const auto with = [&good](int offset, quint32 value) { return withField(good, offset, qint32(value)); };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut") << good.left(15);
    QTest::newRow("wrong magic") << with(0, 0xFDABBBCD);
    QTest::newRow("wrong header length") << with(4, 17);
    QTest::newRow("padded length not a multiple of 8") << with(8, 12);
    QTest::newRow("padded length past the end") << with(8, 24);
    QTest::newRow("huge padded length") << with(8, 0xFFFFFFF8);
    QTest::newRow("pad count 8") << with(12, 8);
    QTest::newRow("pad count beyond an empty block") << SealedBlocks::encryptBlocks(QByteArray(), "k").replace(12, 1, "\x03");
    QTest::newRow("ciphertext cut") << good.left(good.size() - 1);
}

void SealedBlocksTest::decryptRefusesBrokenBlocks()
{
    QFETCH(QByteArray, block);
    QByteArray plain = "untouched";
    const Result<qint64> used = SealedBlocks::decryptBlocks(block.constData(), block.size(), "k", &plain);
    QVERIFY(!used);
    QVERIFY(!used.error().isEmpty());
    QCOMPARE(plain, QByteArray("untouched"));
}

void SealedBlocksTest::decompressRefusesBrokenBlocks_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<qint64>("expectedLength");
    const QByteArray input(5000, 'z');
    const QByteArray good = SealedBlocks::compressBlock(input).valueOr(QByteArray());
    QByteArray corrupt = good;
    corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);
    QTest::newRow("header cut") << good.left(30) << qint64(input.size());
    QTest::newRow("wrong magic") << withField(good, 0, 0) << qint64(input.size());
    QTest::newRow("wrong header length") << QByteArray(good).replace(4, 1, "\x20") << qint64(input.size());
    QTest::newRow("stream past the end") << withField(good, 12, good.size()) << qint64(input.size());
    QTest::newRow("stream cut") << good.left(good.size() - 4) << qint64(input.size());
    QTest::newRow("corrupt stream") << corrupt << qint64(input.size());
    QTest::newRow("shorter than recorded") << good << qint64(input.size() + 1);
    QTest::newRow("longer than recorded") << good << qint64(input.size() - 1);
    QTest::newRow("absurd expansion") << good << qint64(100000000);
    QTest::newRow("negative length") << good << qint64(-1);
}

void SealedBlocksTest::decompressRefusesBrokenBlocks()
{
    QFETCH(QByteArray, block);
    QFETCH(qint64, expectedLength);
    QByteArray plain;
    const Result<qint64> used = SealedBlocks::decompressBlock(block.constData(), block.size(), expectedLength, &plain);
    QVERIFY(!used);
    QVERIFY(!used.error().isEmpty());
}

// Content keys: eight bytes whose upper two of each half are zero, drawn anew each time; wrapped
// for the device, which alone can open them.
void SealedBlocksTest::contentKeysAndTheirWrapping()
{
    QSet<QByteArray> seen;
    for (int i = 0; i < 200; ++i) {
        const QByteArray key = SealedBlocks::makeContentKey();
        QCOMPARE(key.size(), 8);
        QCOMPARE(key.mid(2, 2) + key.mid(6, 2), QByteArray(4, '\0'));
        seen.insert(key);
    }
    QVERIFY(seen.size() > 150);
    // Not from the C library's generator, which a program seeds with the time: the same seed
    // would give the same keys.
    std::srand(1);
    const QByteArray first = SealedBlocks::makeContentKey() + SealedBlocks::makeContentKey();
    std::srand(1);
    QVERIFY(SealedBlocks::makeContentKey() + SealedBlocks::makeContentKey() != first);

    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key; the development private key cannot open it");
    const KeyUnwrapper device(DeviceKey::privatePem());
    QVERIFY(device.isValid());
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const QByteArray wrapped = SealedBlocks::wrapKey(contentKey).valueOr(QByteArray());
    QCOMPARE(wrapped.size(), 128);
    QCOMPARE(device.unwrap(wrapped.constData(), wrapped.size()).valueOr(QByteArray()), contentKey);
    // PKCS #1 v1.5 pads with random bytes: the same key wraps differently every time.
    const QByteArray again = SealedBlocks::wrapKey(contentKey).valueOr(QByteArray());
    QVERIFY(again != wrapped);
    QCOMPARE(device.unwrap(again.constData(), again.size()).valueOr(QByteArray()), contentKey);

    QByteArray damaged = wrapped;
    damaged[5] = static_cast<char>(damaged[5] ^ 1);
    QVERIFY(!device.unwrap(damaged.constData(), damaged.size()));
    QVERIFY(!device.unwrap(wrapped.constData(), 127));
}

void SealedBlocksTest::wrapKeyFailures_data()
{
    // Every one says why in the author's language (the device tools' English line goes to
    // standard output).
    QTest::addColumn<QByteArray>("pem");
    QTest::newRow("not PEM") << QByteArray("garbage");
    QByteArray cut = BuiltInPublicKey::pem();
    cut.remove(40, 30);
    QTest::newRow("damaged PEM") << cut;

    // A 2048-bit key would need 256 bytes where the formats hold 128.
    EVP_PKEY *big = EVP_RSA_gen(2048);
    BIO *out = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(out, big);
    char *text = nullptr;
    const long length = BIO_get_mem_data(out, &text);
    QTest::newRow("2048-bit key") << QByteArray(text, static_cast<int>(length));
    BIO_free(out);
    EVP_PKEY_free(big);
}

void SealedBlocksTest::wrapKeyFailures()
{
    QFETCH(QByteArray, pem);
    const Result<QByteArray> wrapped = SealedBlocks::wrapKey(SealedBlocks::makeContentKey(), pem);
    QVERIFY(!wrapped);
    QCOMPARE(wrapped.error(), QStringLiteral("内容密钥加密失败：公钥无法解析，或不是1024位的RSA公钥"));
}

void SealedBlocksTest::zeroExtendedDigest_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("digestLength");
    QTest::newRow("prefix") << 1000 << 300;
    QTest::newRow("whole") << 1000 << 1000;
    QTest::newRow("zeros beyond the end") << 1000 << 9000;
    QTest::newRow("nothing but zeros") << 0 << 17;
}

void SealedBlocksTest::zeroExtendedDigest()
{
    QFETCH(int, length);
    QFETCH(int, digestLength);
    const QByteArray data = randomBytes(length, 11);
    QByteArray extended = data.left(digestLength);
    extended.append(QByteArray(qMax(0, digestLength - length), '\0'));
    QCOMPARE(SealedBlocks::zeroExtendedMd5(data.constData(), data.size(), digestLength),
             QCryptographicHash::hash(extended, QCryptographicHash::Md5));
}

QTEST_GUILESS_MAIN(SealedBlocksTest)
#include "tst_sealedblocks.moc"
