// The build's cost against the floor of its own work, and its peak memory.
//   1. Packing a generated project of about 90 MB (scripts, 24- and 32-bit screenshots, binary
//      data) against the work the package format requires of it, timed in this process: the
//      compressed and sealed block of each script, one zlib compress of the inner image, the MD5
//      over it and DES-ECB over the compressed stream. Goal: at most 1.2 x the floor in CPU time
//      (the machine is shared: wall times are printed too, but CPU time is the measure); peak
//      memory under 64 MiB.
//   2. The same near the 100 MiB limit. Goal: peak memory under 32 MiB + the compressed size.
//   3. Compiling a 1 MB and a 10 MB script against bare luaL_loadbuffer + lua_dump of the same
//      text. Goal: at most 1.2 x; peak memory under 3 x the script's size + 50 MB.
//   4. The whole build command (compile every script, check their global names, pack) of a
//      project of about 90 MB of which 30 % is Lua. Goal: peak memory under 64 MiB.
// Peak memories are measured in child processes (this program started again), so that each
// figure is the high-water mark of that one piece of work.
#include "common/Names.h"
#include "project/DirListing.h"
#include "toolchain/Package.h"
#include "toolchain/ProjectBuilder.h"
#include "simulator/PackageReader.h"
#include "toolchain/ScriptCompiler.h"
#include "toolchain/SealedBlocks.h"
#include "bench/support/LuaText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <lauxlib.h>
#include <lua.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QImage screenshot(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(30 + y * 60 / height, 40 + x * 40 / width, 90);
    }
    QPainter painter(&image);
    for (int i = 0; i < 120; ++i) {
        painter.fillRect(random.bounded(width), random.bounded(height), random.bounded(20, 400), random.bounded(10, 120),
                         QColor::fromRgb(random.bounded(0x1000000)));
    }
    painter.end();
    // Icons and text leave small busy patches.
    for (int i = 0; i < 300; ++i) {
        const int x0 = random.bounded(width - 40), y0 = random.bounded(height - 20);
        for (int y = y0; y < y0 + 16; ++y)
            for (int x = x0; x < x0 + 36; ++x)
                if (random.bounded(3) == 0)
                    image.setPixel(x, y, qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
    }
    return image;
}

QByteArray bitmapFile(const QImage &image, int bits)
{
    const int width = image.width(), height = image.height();
    const int stride = (width * bits + 31) / 32 * 4;
    QByteArray bytes(54 + stride * height, '\0');
    char header[54] = {'B', 'M'};
    qToLittleEndian<quint32>(static_cast<quint32>(bytes.size()), header + 2);
    qToLittleEndian<quint32>(54, header + 10);
    qToLittleEndian<quint32>(40, header + 14);
    qToLittleEndian<qint32>(width, header + 18);
    qToLittleEndian<qint32>(height, header + 22);
    qToLittleEndian<quint16>(1, header + 26);
    qToLittleEndian<quint16>(static_cast<quint16>(bits), header + 28);
    std::memcpy(bytes.data(), header, 54);
    for (int y = 0; y < height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1 - y));
        char *row = bytes.data() + 54 + y * stride;
        for (int x = 0; x < width; ++x, row += bits / 8) {
            row[0] = static_cast<char>(qBlue(line[x]));
            row[1] = static_cast<char>(qGreen(line[x]));
            row[2] = static_cast<char>(qRed(line[x]));
            if (bits == 32)
                row[3] = static_cast<char>(0xFF);
        }
    }
    return bytes;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// A project of scripts, screenshots and data; `scale` 1 gives about 60 MB of files, of which
// 6 MB are the 30 scripts (200 KB each) unless another number is asked for.
void makeProject(const QString &dir, double scale, int scripts = -1)
{
    writeFile(dir + "/ks.project", "<project>\r\n <name>bench</name>\r\n <desc>benchmark</desc>\r\n</project>\r\n");
    const QByteArray main = luaText(200000, 1);
    writeFile(dir + '/' + Names::mainScript(), main);
    writeFile(dir + '/' + Names::compiledMainScript(), ScriptCompiler::compile(main, Names::mainScript()).valueOr(QByteArray()));
    for (int i = 0; i < (scripts >= 0 ? scripts : qRound(30 * scale)); ++i)
        writeFile(dir + QStringLiteral("/scripts/s%1.lua").arg(i), luaText(200000, 100 + i));
    for (int i = 0; i < qRound(4 * scale); ++i)
        writeFile(dir + QStringLiteral("/images/shot%1.bmp").arg(i), bitmapFile(screenshot(1080, 1920, 200 + i), 24));
    for (int i = 0; i < qRound(5 * scale); ++i)
        writeFile(dir + QStringLiteral("/images/alpha%1.bmp").arg(i), bitmapFile(screenshot(720, 1280, 300 + i), 32));
    for (int i = 0; i < qRound(4 * scale); ++i)
        writeFile(dir + QStringLiteral("/data/blob%1.bin").arg(i), randomBytes(2 * 1024 * 1024, 400 + i));
}

qint64 directorySize(const QString &dir)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            total += directorySize(info.absoluteFilePath());
        else if (!info.fileName().endsWith(Names::packageSuffix()))
            total += info.size();
    }
    return total;
}

// CPU and wall seconds of one piece of work.
struct Timing
{
    double cpu = 1e9;
    double wall = 1e9;

    void keepFaster(const Timing &other)
    {
        cpu = qMin(cpu, other.cpu);
        wall = qMin(wall, other.wall);
    }
};

double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

template <typename Work>
Timing timed(Work work)
{
    QElapsedTimer wall;
    const double cpu = cpuSeconds();
    wall.start();
    work();
    return {cpuSeconds() - cpu, wall.nsecsElapsed() / 1e9};
}

Timing buildOnce(const QString &dir, int *compressedLength)
{
    const QByteArray main = readFile(dir + '/' + Names::compiledMainScript());
    Result<int> built = 0;
    const Timing timing = timed([&] {
        built = Package::build(dir + "/", "bench", Names::packageVersion(), "benchmark", main, Names::packageType);
    });
    if (!built)
        qFatal("build failed: %s", qPrintable(built.error()));
    *compressedLength = *built;
    return timing;
}

// The sources of every script in the project, which the package carries sealed.
void collectScripts(const QString &dir, QVector<QByteArray> *scripts)
{
    for (const DirListing::Entry &entry : DirListing::entries(dir)) {
        if (entry.isDir)
            collectScripts(entry.path(), scripts);
        else if (Names::isScriptName(entry.name))
            scripts->append(readFile(entry.path()));
    }
}

// What the format requires of a build with this inner image and these scripts, and no more.
Timing floorOnce(const QByteArray &inner, const QVector<QByteArray> &scripts)
{
    QByteArray compressed(static_cast<int>(CipherBlock::HeaderLength + SealedBlocks::paddedLength(compressBound(static_cast<uLong>(inner.size())))),
                          Qt::Uninitialized);
    return timed([&] {
        for (const QByteArray &source : scripts) {
            const QByteArray key = SealedBlocks::makeContentKey();
            if (!SealedBlocks::wrapKey(key))
                qFatal("cannot wrap a key");
            SealedBlocks::encryptBlocks(SealedBlocks::compressBlock(source).valueOr(QByteArray()),
                                        SealedBlocks::keyString(key.constData(), key.size()));
        }
        char *stream = compressed.data() + CipherBlock::HeaderLength;
        uLongf length = compressBound(static_cast<uLong>(inner.size()));
        compress(reinterpret_cast<Bytef *>(stream), &length, reinterpret_cast<const Bytef *>(inner.constData()),
                 static_cast<uLong>(inner.size()));
        const QByteArray digest = SealedBlocks::zeroExtendedMd5(inner.constData(), inner.size(), static_cast<qint64>(length));
        SealedBlocks::encryptInPlace(compressed.data(), static_cast<qint64>(length), digest);
    });
}

int writer(lua_State *, const void *bytes, size_t size, void *buffer)
{
    static_cast<QByteArray *>(buffer)->append(static_cast<const char *>(bytes), static_cast<int>(size));
    return 0;
}

// Child modes: each prints "<seconds> <peak MB>" and exits.
int child(const QStringList &args)
{
    const QString mode = args.value(0);
    const double before = peakMegabytes();
    double seconds = 0;
    if (mode == "build") {
        int compressed;
        seconds = buildOnce(args.value(1), &compressed).wall;
    } else if (mode == "command") {
        int lines = 0;
        ProjectBuilder builder({[&lines](const QString &) { ++lines; }, [&lines](const Diagnostic &found) {
                                    if (found.kind == Diagnostic::Kind::Error)
                                        qFatal("build failed: %s", qPrintable(found.message));
                                    ++lines;
                                }});
        seconds = timed([&] { builder.build(QStringLiteral("bench"), args.value(1)); }).wall;
    } else {
        QByteArray source = readFile(args.value(1));
        QElapsedTimer timer;
        timer.start();
        if (mode == "compile") {
            const Result<QByteArray> chunk = ScriptCompiler::compileChunk(std::move(source), "big.lua");
            if (!chunk)
                qFatal("compile failed: %s", qPrintable(chunk.error()));
        } else if (mode == "seal") {
            if (!ScriptCompiler::compile(std::move(source), "big.lua"))
                qFatal("compile failed");
        } else {
            lua_State *state = luaL_newstate();
            if (luaL_loadbuffer(state, source.constData(), static_cast<size_t>(source.size()), "=?") != LUA_OK)
                qFatal("load failed");
            QByteArray dump;
            lua_dump(state, writer, &dump);
            lua_close(state);
        }
        seconds = timer.nsecsElapsed() / 1e9;
    }
    std::printf("%f %f %f\n", seconds, peakMegabytes(), before);
    return 0;
}

struct Measured
{
    double seconds = 0;
    double peak = 0;
    double base = 0;
};

Measured runChild(const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), QStringList{"--child"} + args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("child %s failed", qPrintable(args.join(' ')));
    const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
    return {figures.value(0).toDouble(), figures.value(1).toDouble(), figures.value(2).toDouble()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == "--child")
        return child(args.mid(1));

    QTemporaryDir temp;
    const auto packageBench = [&temp](const char *title, const QString &name, double scale, bool memoryGoalFixed) {
        std::printf("== Package build, %s\n", title);
        const QString project = temp.path() + '/' + name;
        makeProject(project, scale);
        QVector<QByteArray> scripts;
        collectScripts(project, &scripts);
        int compressedLength = 0;
        buildOnce(project, &compressedLength); // warm the page cache
        const QByteArray inner = PackageReader::openEnvelope(readFile(project + "/bench.ks")).valueOr(QByteArray());
        if (inner.isEmpty())
            qFatal("the package does not open");
        // In turns, so that a busy neighbour slows both alike.
        Timing build, floor;
        for (int i = 0; i < 3; ++i) {
            build.keepFaster(buildOnce(project, &compressedLength));
            floor.keepFaster(floorOnce(inner, scripts));
        }
        const Measured peak = runChild({"build", project});
        const double compressedMiB = compressedLength / 1048576.0;
        std::printf("project files     %8.1f MB, %d scripts\n", directorySize(project) / 1e6, scripts.size());
        std::printf("inner image       %8.1f MB (limit %.1f MB), compressed %.1f MB\n", inner.size() / 1e6,
                    MaxPayloadLength / 1e6, compressedLength / 1e6);
        std::printf("build             %8.3f s CPU, %.3f s wall\n", build.cpu, build.wall);
        std::printf("floor             %8.3f s CPU, %.3f s wall (seal each script; compress, MD5, DES-ECB of the stream)\n",
                    floor.cpu, floor.wall);
        std::printf("ratio             %8.2f x CPU (goal <= 1.2), %.2f x wall\n", build.cpu / floor.cpu, build.wall / floor.wall);
        const double goal = memoryGoalFixed ? 64 : 32 + compressedMiB;
        std::printf("peak memory       %8.1f MiB (goal < %.1f%s; process start %.1f MiB)\n\n", peak.peak, goal,
                    memoryGoalFixed ? "" : " = 32 + compressed", peak.base);
    };
    packageBench("~90 MB mixed project", "mixed", 1.5, true);
    packageBench("near the 100 MiB limit", "large", 2.0, false);

    {
        std::printf("== Build command (compile, check, pack), ~90 MB project, 30 %% Lua\n");
        const QString project = temp.path() + QStringLiteral("/command");
        makeProject(project, 1.2, 135);
        QVector<QByteArray> scripts;
        collectScripts(project, &scripts);
        qint64 lua = 0;
        for (const QByteArray &script : scripts)
            lua += script.size();
        const qint64 size = directorySize(project); // before the build adds the compiled scripts
        const Measured command = runChild({"command", project});
        std::printf("project files     %8.1f MB, %d scripts, %.1f MB of Lua (%.0f %%)\n", size / 1e6, scripts.size(),
                    lua / 1e6, 100.0 * lua / size);
        std::printf("build command     %8.3f s wall\n", command.seconds);
        std::printf("peak memory       %8.1f MiB (goal < 64; process start %.1f MiB)\n\n", command.peak, command.base);
    }

    for (const qint64 size : {qint64(1) << 20, qint64(10) << 20}) {
        std::printf("\n== Compiling a %lld MB script\n", static_cast<long long>(size >> 20));
        const QString script = temp.path() + QStringLiteral("/big%1.lua").arg(size);
        writeFile(script, luaText(size, 7));
        Measured compile{1e9, 0, 0}, seal{1e9, 0, 0}, bare{1e9, 0, 0};
        for (int i = 0; i < 3; ++i) {
            const Measured c = runChild({"compile", script});
            const Measured s = runChild({"seal", script});
            const Measured b = runChild({"bare", script});
            if (c.seconds < compile.seconds)
                compile = c;
            if (s.seconds < seal.seconds)
                seal = s;
            if (b.seconds < bare.seconds)
                bare = b;
        }
        const double mb = size / 1048576.0;
        std::printf("bare load + dump  %8.3f s, peak %7.1f MB\n", bare.seconds, bare.peak);
        std::printf("compileChunk      %8.3f s, peak %7.1f MB\n", compile.seconds, compile.peak);
        std::printf("compile and seal  %8.3f s, peak %7.1f MB\n", seal.seconds, seal.peak);
        std::printf("ratio             %8.2f x   (goal <= 1.2); sealed %.2f x\n", compile.seconds / bare.seconds,
                    seal.seconds / bare.seconds);
        std::printf("peak goal         %8.1f MB  (3 x %.0f MB + 50); compile %.1f MB, sealed %.1f MB\n",
                    3 * mb + 50, mb, compile.peak, seal.peak);
    }
    return 0;
}
