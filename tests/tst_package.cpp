#include "toolchain/BinaryLayout.h"
#include "toolchain/BitmapRows.h"
#include "common/FixedText.h"
#include "simulator/KeyUnwrapper.h"
#include "toolchain/Package.h"
#include "simulator/PackageReader.h"
#include "toolchain/ScriptCompiler.h"
#include "toolchain/SealedBlocks.h"
#include "project/ProjectFile.h"
#include "support/DeviceKey.h"
#include "support/TestPictures.h"
#include "support/TestWorkspace.h"
#include "support/WireBytes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <functional>
#include <zlib.h>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

using PixelFunction = std::function<QRgb(int x, int y)>;

using WireBytes::le;
using WireBytes::u32;
using WireBytes::withField;

QRgb pattern(int x, int y)
{
    return qRgb(10 + 40 * x, 200 - 30 * y, (x * 7 + y * 13) % 256);
}

// A bitmap file written field by field: 14-byte file header, 40-byte info header, rows padded to
// four bytes, bottom-up unless topDown. The fourth byte of a 32-bit pixel is junk on purpose.
QByteArray bitmapFile(int width, int height, int bits, bool topDown, const PixelFunction &pixel = pattern)
{
    const int stride = (width * bits + 31) / 32 * 4;
    // Size, reserved, pixel offset; info header length, width, height, planes and bits, zeros.
    QByteArray bytes = "BM" + le(54 + stride * height) + le(0) + le(54) + le(40) + le(width) + le(topDown ? -height : height)
        + le(1 | bits << 16) + QByteArray(24, '\0') + QByteArray(stride * height, '\0');
    char *p = bytes.data();
    for (int y = 0; y < height; ++y) {
        char *row = p + 54 + (topDown ? y : height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb c = pixel(x, y);
            char *px = row + x * bits / 8;
            px[0] = static_cast<char>(qBlue(c));
            px[1] = static_cast<char>(qGreen(c));
            px[2] = static_cast<char>(qRed(c));
            if (bits == 32)
                px[3] = static_cast<char>(0xA5);
        }
    }
    return bytes;
}

// The expected image entry data: width, height, 24, rows top to bottom in blue, green, red.
QByteArray imageData(int width, int height, const PixelFunction &pixel = pattern)
{
    QByteArray data = le(width) + le(height) + le(24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = pixel(x, y);
            data += static_cast<char>(qBlue(c));
            data += static_cast<char>(qGreen(c));
            data += static_cast<char>(qRed(c));
        }
    }
    return data;
}

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1600000000);

struct Built
{
    int compressedLength = -1;
    QString error;
    QStringList progress;
    QByteArray package;
};

Built buildProject(const QString &directory, const QString &name, const QString &description = QString())
{
    Built built;
    const QByteArray main = [&] {
        QFile file(directory + QStringLiteral("/main.script.m"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const Result<int> packed = Package::build(directory + QLatin1Char('/'), name, QStringLiteral("暂无"), description, main,
                                              2, [&built](const QString &line) { built.progress << line; });
    built.compressedLength = packed.valueOr(-1);
    built.error = packed.error();
    QFile file(directory + QLatin1Char('/') + name + QStringLiteral(".ks"));
    if (file.open(QIODevice::ReadOnly))
        built.package = file.readAll();
    return built;
}

QStringList leftovers(const QString &directory, const QString &name)
{
    return QDir(directory).entryList({name + QStringLiteral(".o*"), name + QStringLiteral(".ks.*")}, QDir::Files | QDir::Hidden);
}

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeProjectReadsBack();
    void fixedWidthFields();
    void onlyMainScriptPackedTwice();
    void builtInPiecesAsInOne();
    void bitmapConversion_data();
    void bitmapConversion();
    void refusals_data();
    void refusals();
    void innerImageLimit();
    void unopenableFileIsSkipped();
    void readerRefusesBrokenInnerImages_data();
    void readerRefusesBrokenInnerImages();
    void readerRefusesDamagedPackages_data();
    void readerRefusesDamagedPackages();
};

void PackageTest::initTestCase()
{
    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key; the development private key cannot read the packages");
}

void PackageTest::wholeProjectReadsBack()
{
    TestWorkspace workspace;
    const QString dir = workspace.makeProject(QStringLiteral("演示"));
    const QString p = QStringLiteral("工程目录/演示/");
    const QByteArray mainSource = ProjectFile::mainScriptTemplate();
    const QByteArray util = "local M = {}\nfunction M.add(a, b) return a + b end\nreturn M\n";
    QByteArray binary(70000, Qt::Uninitialized);
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>((i * 2654435761u) >> 24);
    const QImage palette = [] {
        QImage image(7, 3, QImage::Format_Indexed8);
        image.setColorCount(3);
        image.setColor(0, qRgb(255, 0, 0));
        image.setColor(1, qRgb(0, 128, 0));
        image.setColor(2, qRgb(1, 2, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                image.setPixel(x, y, static_cast<uint>((x + y) % 3));
        return image;
    }();
    const PixelFunction paletteColour = [&palette](int x, int y) { return palette.pixel(x, y); };

    workspace.writeFile(p + "main.script", mainSource, t0.addSecs(10));
    QVERIFY(ScriptCompiler::compileFile(dir + "/main.script", dir));
    workspace.setModified(p + "main.script.m", t0.addSecs(9));
    workspace.writeFile(p + "lib/util.lua", util, t0.addSecs(1));
    workspace.writeFile(p + "lib/data.bin", binary, t0.addSecs(2));
    workspace.writeFile(p + "images/a24.bmp", bitmapFile(3, 5, 24, false), t0.addSecs(3));
    workspace.writeFile(p + "images/b32.bmp", bitmapFile(5, 2, 32, false), t0.addSecs(2));
    workspace.writeFile(p + "images/top.bmp", bitmapFile(4, 3, 24, true), t0.addSecs(1));
    workspace.writeFile(p + "images/pal8.bmp", TestPictures::bitmapBytes(palette), t0.addSecs(4));
    workspace.writeFile(p + "空文件.txt", QByteArray(), t0.addSecs(6));
    workspace.setModified(p + "ks.project", t0.addSecs(5));
    workspace.writeFile(p + "中文名称.dat", "数据", t0.addSecs(5));
    workspace.writeFile(p + "演示.ks", "old package", t0.addSecs(11));
    workspace.writeFile(p + "演示.o", "old scratch", t0.addSecs(11));
    workspace.writeFile(p + "演示.ks.Ab12Cd", "half a package a killed build wrote", t0.addSecs(11));
    workspace.setModified(p + "lib", t0.addSecs(8));
    workspace.setModified(p + "images", t0.addSecs(7));

    const Built built = buildProject(dir, QStringLiteral("演示"), QStringLiteral("描述文字"));
    QVERIFY2(built.compressedLength > 0, qPrintable(built.error));
    QVERIFY(leftovers(dir, QStringLiteral("演示")).isEmpty());

    // Newest first, equal times by name, directories in place; old package, scratch and half
    // package left out.
    const QStringList order = {"main.script", "main.script.m", "lib/data.bin", "lib/util.lua",
                               "images/pal8.bmp", "images/a24.bmp", "images/b32.bmp", "images/top.bmp",
                               "空文件.txt", "ks.project", "中文名称.dat"};
    QStringList expectedProgress;
    for (const QString &relative : order)
        expectedProgress << QStringLiteral("正在打包[") + dir + QLatin1Char('/') + relative + QLatin1Char(']');
    QCOMPARE(built.progress, expectedProgress);

    // Envelope
    const QByteArray &package = built.package;
    QCOMPARE(package.left(8), QByteArray("ENKS\x20\x02\x01\x00", 8));
    QCOMPARE(u32(package, 8), u32(package, 28));
    QCOMPARE(package.size(), 48 + (built.compressedLength + 7) / 8 * 8);
    qint64 compressedLength = 0;
    const Result<QByteArray> opened = PackageReader::openEnvelope(package, &compressedLength);
    QVERIFY2(opened, qPrintable(opened.error()));
    const QByteArray &inner = *opened;
    QCOMPARE(compressedLength, qint64(built.compressedLength));
    QCOMPARE(inner.size(), static_cast<int>(u32(package, 8)));

    const Result<PackageContents> read = PackageReader::read(package, DeviceKey::privatePem());
    QVERIFY2(read, qPrintable(read.error()));
    const PackageContents &contents = *read;
    QCOMPARE(contents.type, 2u);
    QCOMPARE(QStringList({contents.name, contents.version, contents.description}), (QStringList{"演示", "暂无", "描述文字"}));
    QCOMPARE(u32(inner, 392), static_cast<quint32>(order.size()));
    QCOMPARE(contents.entries.size(), order.size());

    const QHash<QString, QByteArray> images = {
        {"images/a24.bmp", imageData(3, 5)},
        {"images/b32.bmp", imageData(5, 2)},
        {"images/top.bmp", imageData(4, 3)},
        {"images/pal8.bmp", imageData(7, 3, paletteColour)},
    };
    qint64 entriesLength = 0;
    for (int i = 0; i < order.size(); ++i) {
        const PackageEntryData &entry = contents.entries[i];
        QCOMPARE(entry.relativePath, order[i]);
        QCOMPARE(entry.fileName, order[i].section(QLatin1Char('/'), -1));
        const QByteArray original = workspace.readFile(p + order[i]);
        if (order[i].endsWith(".bmp")) {
            QCOMPARE(entry.type, int(PackageEntry::Image));
            QCOMPARE(entry.data.toHex(), images.value(order[i]).toHex());
        } else if (order[i].endsWith(".lua") || order[i].endsWith(".script")) {
            QCOMPARE(entry.type, int(PackageEntry::SealedScript));
            QCOMPARE(u32(entry.data, 0), 0x11223ABCu);
            QCOMPARE(u32(entry.data, 8), static_cast<quint32>(original.size()));
            QCOMPARE(entry.content, original);
        } else {
            QCOMPARE(entry.type, int(PackageEntry::PlainFile));
            QCOMPARE(entry.data, original);
        }
        entriesLength += 252 + entry.data.size();
    }
    QCOMPARE(qint64(contents.entriesLength), entriesLength);
    QCOMPARE(contents.mainOffset, static_cast<quint32>(416 + entriesLength));
    QCOMPARE(inner.mid(static_cast<int>(contents.mainOffset)), workspace.readFile(p + "main.script.m"));
    QCOMPARE(contents.mainChunk, ScriptCompiler::compileChunk(mainSource, QStringLiteral("main.script")).valueOr("not compiled"));
}

void PackageTest::fixedWidthFields()
{
    TestWorkspace workspace;
    const QString name = QString(30, QChar(0x5DE5));                   // 90 bytes of UTF-8
    const QString description = QString(120, QChar(0x63CF));           // 360 bytes
    const QString longFile = QString(20, QChar(0x6587)) + ".txt";      // 64 bytes
    const QString dir = workspace.absolute("p");
    workspace.writeFile("p/" + longFile, "x");
    // A relative path of exactly 199 bytes still fits its 200-byte field.
    const QString fits = QString(99, 'a') + '/' + QString(99, 'b');
    workspace.writeFile("p/" + fits, "y");

    const Built built = buildProject(dir, name, description);
    QVERIFY2(built.compressedLength > 0, qPrintable(built.error));
    const QByteArray inner = PackageReader::openEnvelope(built.package).valueOr(QByteArray());
    // Cut at a character boundary, always zero-terminated within the field.
    QCOMPARE(inner.mid(12, 60), name.left(19).toUtf8() + QByteArray(3, '\0'));
    QCOMPARE(inner.mid(92, 300), description.left(99).toUtf8() + QByteArray(3, '\0'));
    const Result<PackageContents> contents = PackageReader::read(built.package, DeviceKey::privatePem());
    QVERIFY2(contents, qPrintable(contents.error()));
    QStringList fileNames, paths;
    for (const PackageEntryData &entry : contents->entries) {
        fileNames << entry.fileName;
        paths << entry.relativePath;
    }
    // Cut at a character boundary, keeping the extension, and said so in the build output.
    const QString shown = longFile.left(11) + ".txt";
    QVERIFY2(fileNames.contains(shown), qPrintable(fileNames.join(',')));
    QCOMPARE(built.progress.filter(QStringLiteral("文件名[") + longFile),
             QStringList(QStringLiteral("文件名[%1]超过39字节，包中显示为[%2]").arg(longFile, shown)));
    QVERIFY(paths.contains(fits));
    QVERIFY(paths.contains(longFile));
}

// The main script alone: sealed, its compiled form a plain entry and the package's main script.
// Packed twice, the keys differ and the layout does not.
void PackageTest::onlyMainScriptPackedTwice()
{
    TestWorkspace workspace;
    workspace.writeFile("solo/main.script", "print('hi')");
    QVERIFY(ScriptCompiler::compileFile(workspace.absolute("solo/main.script"), workspace.absolute("solo")));
    const Built first = buildProject(workspace.absolute("solo"), "solo");
    const Built second = buildProject(workspace.absolute("solo"), "solo");
    QVERIFY2(first.compressedLength > 0 && second.compressedLength > 0, qPrintable(first.error));
    QVERIFY(first.package != second.package);
    const QByteArray a = PackageReader::openEnvelope(first.package).valueOr(QByteArray());
    const QByteArray b = PackageReader::openEnvelope(second.package).valueOr(QByteArray());
    QCOMPARE(a.mid(392, 12), b.mid(392, 12)); // entryCount, entry header length, entriesLength

    const Result<PackageContents> contents = PackageReader::read(first.package, DeviceKey::privatePem());
    QVERIFY2(contents, qPrintable(contents.error()));
    QCOMPARE(contents->entries.size(), 2);
    QMap<QString, PackageEntryData> byName;
    for (const PackageEntryData &entry : contents->entries)
        byName.insert(entry.fileName, entry);
    QCOMPARE(byName.value("main.script").type, int(PackageEntry::SealedScript));
    QCOMPARE(byName.value("main.script.m").type, int(PackageEntry::PlainFile));
    QCOMPARE(byName.value("main.script.m").data, contents->mainScript);
}

void PackageTest::builtInPiecesAsInOne()
{
    // Larger than the pieces the packer reads, compresses and converts in: a file of several
    // pieces, a script whose sealed block spans several, a bitmap of several strips of rows.
    TestWorkspace workspace;
    QByteArray data(2 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    QByteArray script;
    for (int i = 0; script.size() < 2 * 1024 * 1024; ++i)
        script += "x = x + " + QByteArray::number(i * 7) + "\n";
    data += script + "odd";
    workspace.writeFile("p/data.bin", data);
    workspace.writeFile("p/big.lua", script);
    workspace.writeFile("p/wide.bmp", bitmapFile(700, 500, 32, false));
    const Built built = buildProject(workspace.absolute("p"), "p");
    QVERIFY2(built.compressedLength > 0, qPrintable(built.error));

    // The envelope holds the one-shot compress of the inner image, keyed with its zero-extended
    // MD5, and the pad bytes are zeros.
    const QByteArray &package = built.package;
    const QByteArray inner = PackageReader::openEnvelope(package).valueOr(QByteArray());
    uLongf length = compressBound(static_cast<uLong>(inner.size()));
    QByteArray stream(static_cast<int>(length), '\0');
    QCOMPARE(compress(reinterpret_cast<Bytef *>(stream.data()), &length, reinterpret_cast<const Bytef *>(inner.constData()),
                      static_cast<uLong>(inner.size())),
             Z_OK);
    stream.truncate(static_cast<int>(length));
    QCOMPARE(package.mid(12, 16), SealedBlocks::zeroExtendedMd5(inner.constData(), inner.size(), stream.size()));
    QVERIFY(package.mid(32) == SealedBlocks::encryptBlocks(stream, SealedBlocks::keyString(package.constData() + 12, 36)));

    // Every entry as made whole.
    const Result<PackageContents> contents = PackageReader::read(package, DeviceKey::privatePem());
    QVERIFY2(contents, qPrintable(contents.error()));
    QMap<QString, PackageEntryData> byName;
    for (const PackageEntryData &entry : contents->entries)
        byName.insert(entry.fileName, entry);
    QVERIFY(byName.value("data.bin").data == data);
    QVERIFY(byName.value("wide.bmp").data == imageData(700, 500));
    const PackageEntryData sealed = byName.value("big.lua");
    QVERIFY(sealed.content == script);
    const QByteArray contentKey = KeyUnwrapper(DeviceKey::privatePem()).unwrap(sealed.data.constData() + 16, 128).valueOr("");
    QVERIFY(sealed.data.mid(144)
            == SealedBlocks::encryptBlocks(SealedBlocks::compressBlock(script).valueOr(""),
                                           SealedBlocks::keyString(contentKey.constData(), contentKey.size())));
}

void PackageTest::bitmapConversion_data()
{
    QTest::addColumn<QByteArray>("bitmap");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("24-bit, 3 wide (9 bytes a row, stored as 12)") << bitmapFile(3, 4, 24, false) << imageData(3, 4);
    QTest::newRow("24-bit, 1x1") << bitmapFile(1, 1, 24, false) << imageData(1, 1);
    QTest::newRow("24-bit top-down") << bitmapFile(5, 3, 24, true) << imageData(5, 3);
    QTest::newRow("32-bit, odd width") << bitmapFile(7, 2, 32, false) << imageData(7, 2);
    QTest::newRow("32-bit top-down") << bitmapFile(2, 6, 32, true) << imageData(2, 6);
    QImage mono(9, 2, QImage::Format_Mono);
    mono.setColor(0, qRgb(0, 0, 0));
    mono.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x)
            mono.setPixel(x, y, static_cast<uint>((x + y) & 1));
    QTest::newRow("1-bit through the image reader")
        << TestPictures::bitmapBytes(mono) << imageData(9, 2, [&mono](int x, int y) { return mono.pixel(x, y); });
}

void PackageTest::bitmapConversion()
{
    QFETCH(QByteArray, bitmap);
    QFETCH(QByteArray, expected);
    QCOMPARE(BitmapRows::imageDataLength(bitmap).valueOr(-1), qint64(expected.size()));
    QCOMPARE(BitmapRows::bitmapToRows(bitmap).valueOr("not converted").toHex(), expected.toHex());
    QByteArray small(expected.size() - 1, '\0');
    QVERIFY(!BitmapRows::bitmapToRows(bitmap, small.data(), small.size()));
}

void PackageTest::refusals_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QByteArray good = bitmapFile(10, 10, 24, false);
    QTest::newRow("relative path of 200 bytes") << QString(100, 'a') + '/' + QString(95, 'b') + ".txt" << QByteArray("x")
                                                << QStringLiteral("相对路径超过199字节");
    QTest::newRow("no BM") << "bad.bmp" << QByteArray("PM") + good.mid(2) << QStringLiteral("缺少BM标记");
    QTest::newRow("empty bitmap") << "bad.bmp" << QByteArray() << QStringLiteral("缺少BM标记");
    QTest::newRow("truncated header") << "bad.bmp" << good.left(30) << QStringLiteral("文件头不完整");
    QTest::newRow("absurd size") << "bad.bmp" << withField(withField(good, 18, 100000), 22, 100000) << QStringLiteral("图像过大");
    QTest::newRow("most negative height") << "bad.bmp" << withField(good, 22, INT_MIN) << QStringLiteral("图像过大");
    QTest::newRow("zero width") << "bad.bmp" << withField(good, 18, 0) << QStringLiteral("宽度或高度无效");
    QTest::newRow("pixels past the end") << "bad.bmp" << good.left(good.size() - 10) << QStringLiteral("像素数据超出文件末尾");
    QTest::newRow("pixel offset past the end") << "bad.bmp" << withField(good, 10, 0x7FFFFFFF) << QStringLiteral("像素数据超出文件末尾");
    QTest::newRow("width times height overflows") << "bad.bmp" << withField(withField(good, 18, 0x7FFFFFFF), 22, -0x7FFFFFFF)
                                                  << QStringLiteral("图像过大");
    QTest::newRow("compressed 24-bit") << "bad.bmp" << withField(good, 30, 1) << QStringLiteral("不支持的位图格式");
    QTest::newRow("64 bits a pixel") << "bad.bmp" << withField(good, 28, 64) << QStringLiteral("不支持的位图格式");
    QTest::newRow("8-bit pixels past the end") << "bad.bmp" << withField(withField(good, 28, 8), 18, 400)
                                               << QStringLiteral("像素数据超出文件末尾");
    QTest::newRow("broken RLE runs") << "bad.bmp" << withField(withField(good, 28, 8), 30, 1) << QStringLiteral("无法解码该位图");
}

void PackageTest::refusals()
{
    QFETCH(QString, relative);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    TestWorkspace workspace;
    workspace.writeFile("p/keep.txt", "kept");
    const Built good = buildProject(workspace.absolute("p"), "p");
    QVERIFY(good.compressedLength > 0);

    workspace.writeFile("p/" + relative, bytes);
    const Built failed = buildProject(workspace.absolute("p"), "p");
    QCOMPARE(failed.compressedLength, -1);
    QVERIFY2(failed.error.contains(expected), qPrintable(failed.error));
    QVERIFY2(failed.error.contains(relative.section('/', -1)), qPrintable(failed.error));
    // The last good package stays, and nothing of the failed build is left behind.
    QCOMPARE(failed.package, good.package);
    QVERIFY(leftovers(workspace.absolute("p"), "p").isEmpty());
}

void PackageTest::innerImageLimit()
{
    TestWorkspace workspace;
    workspace.writeFile("p/small.txt", "small", t0.addSecs(2));
    const Built good = buildProject(workspace.absolute("p"), "p");
    QVERIFY(good.compressedLength > 0);
    // Sparse: costs no disk. With its entry header it passes the 100 MiB limit by a few bytes.
    QFile big(workspace.absolute("p/big.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(MaxPayloadLength - 416 - 252 - 252 - 5 + 1));
    big.close();
    workspace.setModified("p/big.bin", t0.addSecs(1)); // packed after small.txt
    const Built failed = buildProject(workspace.absolute("p"), "p");
    QCOMPARE(failed.compressedLength, -1);
    QVERIFY2(failed.error.contains(QStringLiteral("100MB")) && failed.error.contains("big.bin"), qPrintable(failed.error));
    QCOMPARE(failed.package, good.package);
    QVERIFY(leftovers(workspace.absolute("p"), "p").isEmpty());
}

void PackageTest::unopenableFileIsSkipped()
{
#ifndef Q_OS_UNIX
    QSKIP("only POSIX permissions keep a file's owner from reading it");
#else
    TestWorkspace workspace;
    workspace.writeFile("p/secret.txt", "hidden", t0.addSecs(2));
    workspace.writeFile("p/open.txt", "visible", t0.addSecs(1));
    QVERIFY(QFile::setPermissions(workspace.absolute("p/secret.txt"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    for (const QString &dir : {workspace.path(), workspace.absolute("p")})
        QVERIFY(QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::ReadOther | QFileDevice::ExeOther));

    QByteArray buffer;
    QBuffer device(&buffer);
    device.open(QIODevice::WriteOnly);
    Package::InnerImage image(&device, 4096);
    quint32 count = 0;
    QStringList lines;
    // Root opens every file: the walk runs as an unprivileged user, to whom secret.txt is closed.
    const bool root = geteuid() == 0;
    if (root)
        QVERIFY(setegid(65534) == 0 && seteuid(65534) == 0);
    const qint64 appended = Package::packDirectory(workspace.absolute("p"), workspace.absolute("p"), image, count,
                                                   [&lines](const QString &line) { lines << line; })
                                .valueOr(-1);
    if (root)
        QVERIFY(seteuid(0) == 0 && setegid(0) == 0);
    QCOMPARE(appended, qint64(252 + 7));
    QCOMPARE(count, 1u);
    QCOMPARE(image.used(), appended);
    QCOMPARE(FixedText::read(buffer.constData() + 48, 200), QByteArray("open.txt"));
    const QString secret = workspace.absolute("p/secret.txt");
    QCOMPARE(lines, QStringList({"正在打包[" + secret + "]", "[" + secret + "]打开失败...，跳过...",
                                 "正在打包[" + workspace.absolute("p/open.txt") + "]"}));
#endif
}

// An inner image laid out by hand: header, one entry of the given type and data, no main script.
QByteArray innerImage(qint32 type, const QByteArray &data)
{
    const int n = data.size();
    return le(qint32(0xBBCCAADD)) + le(0) + le(2) + QByteArray(380, '\0') // magic, type 2, texts
        + le(1) + le(252) + le(252 + n) + le(416) + le(416 + 252 + n) + le(0) // entries and where the main script starts
        + le(0) + le(type) + QByteArray("f.bin").leftJustified(40, '\0') + QByteArray("d/f.bin").leftJustified(200, '\0') + le(n) + data;
}

void PackageTest::readerRefusesBrokenInnerImages_data()
{
    QTest::addColumn<QByteArray>("inner");
    const QByteArray good = innerImage(0, "data");
    QTest::newRow("header cut") << good.left(415);
    QTest::newRow("wrong magic") << withField(good, 0, 0x11223344);
    QTest::newRow("entry header length") << withField(good, 396, 251);
    QTest::newRow("more entries than fit") << withField(good, 392, 2);
    QTest::newRow("entries past the end") << withField(good, 400, 0x7FFFFFFF);
    QTest::newRow("main offset elsewhere") << withField(good, 408, 417);
    QTest::newRow("bytes after the main script") << good + "x";
    QTest::newRow("entry data past its area") << withField(good, 416 + 248, 5);
    QTest::newRow("unknown entry type") << innerImage(2, "data");
    QTest::newRow("image header cut") << innerImage(1, "12345678");
    const QByteArray huge = le(0x7FFFFFFF) + le(0x7FFFFFFF) + le(24);
    QTest::newRow("image sizes overflowing") << innerImage(1, huge);
    QTest::newRow("image sizes against the data") << innerImage(1, withField(huge, 0, 2).left(12) + "abc");
    QTest::newRow("script header cut") << innerImage(5, QByteArray(143, '\0'));
    QTest::newRow("script key that does not unwrap") << innerImage(5, le(0x11223ABC) + le(144) + le(0) + le(128) + QByteArray(144, '\0'));
}

void PackageTest::readerRefusesBrokenInnerImages()
{
    QFETCH(QByteArray, inner);
    const KeyUnwrapper keys(DeviceKey::privatePem());
    PackageContents good;
    const Status read = PackageReader::readInner(innerImage(0, "data"), keys, &good);
    QVERIFY2(read, qPrintable(read.error()));
    QCOMPARE(good.entries.size(), 1);
    QCOMPARE(good.entries[0].relativePath, QStringLiteral("d/f.bin"));
    QCOMPARE(good.entries[0].content, QByteArray("data"));
    QVERIFY(good.mainChunk.isEmpty());

    PackageContents contents;
    const Status refused = PackageReader::readInner(inner, keys, &contents);
    QVERIFY(!refused);
    QVERIFY(!refused.error().isEmpty());
}

void PackageTest::readerRefusesDamagedPackages_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("truncateTo");
    QTest::newRow("magic") << 0 << -1;
    QTest::newRow("envelope length") << 4 << -1;
    QTest::newRow("inner length") << 8 << -1;
    QTest::newRow("digest") << 14 << -1;
    QTest::newRow("second inner length") << 29 << -1;
    QTest::newRow("cipher header") << 40 << -1;
    QTest::newRow("ciphertext") << 60 << -1;
    QTest::newRow("last byte") << -1 << -1;
    QTest::newRow("cut") << -1 << 100;
    QTest::newRow("header only") << -1 << 48;
}

void PackageTest::readerRefusesDamagedPackages()
{
    QFETCH(int, offset);
    QFETCH(int, truncateTo);
    TestWorkspace workspace;
    workspace.writeFile("p/a.lua", "return 'a'");
    workspace.writeFile("p/b.txt", QByteArray(3000, 'b'));
    Built built = buildProject(workspace.absolute("p"), "p");
    QVERIFY(PackageReader::read(built.package, DeviceKey::privatePem()));
    QByteArray damaged = built.package;
    if (truncateTo >= 0)
        damaged.truncate(truncateTo);
    else
        damaged[offset < 0 ? damaged.size() - 1 : offset] = static_cast<char>(damaged[offset < 0 ? damaged.size() - 1 : offset] ^ 0x40);
    const Result<PackageContents> contents = PackageReader::read(damaged, DeviceKey::privatePem());
    QVERIFY(!contents);
    QVERIFY(!contents.error().isEmpty());
}

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"
