// The check of global names against the compile it follows, on a project of 200 scripts
// totalling 5 MB: the check's own work (reading the code as the compiler's dump is walked, walking
// the code, the project-wide verdict) against compiling and sealing the same scripts.
// Goal: at most 0.2 x the compile time. Both run on this one thread, so the times taken are its
// processor time: what other programs on a busy machine take is not counted to either.
#include "toolchain/BytecodeReader.h"
#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ScriptCompiler.h"
#include "bench/support/LuaText.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kScripts = 200;
constexpr qint64 kTotal = 5 * 1000 * 1000;

double seconds(std::clock_t since)
{
    return double(std::clock() - since) / CLOCKS_PER_SEC;
}

// Seconds to compile and seal one script, reading its code for the check when asked.
double compileOne(const QByteArray &source, int i, BytecodeReader *code)
{
    const std::clock_t start = std::clock();
    const Result<QByteArray> compiled = ScriptCompiler::compile(source, QStringLiteral("s%1.lua").arg(i), code);
    if (!compiled)
        qFatal("compile failed: %s", qPrintable(compiled.error()));
    return seconds(start);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QVector<QByteArray> sources;
    qint64 total = 0;
    for (int i = 0; i < kScripts; ++i) {
        sources << luaText(kTotal / kScripts, 1000 + i);
        total += sources.last().size();
    }

    // The best of three runs, compiling with and without reading the code.
    QVector<Result<QVector<BytecodeReader::Function>>> code(kScripts, QVector<BytecodeReader::Function>());
    double compile = 1e9, compileReading = 1e9;
    for (int run = 0; run < 3; ++run) {
        double plain = 0, reading = 0;
        for (int i = 0; i < kScripts; ++i) {
            plain += compileOne(sources[i], i, nullptr);
            BytecodeReader reader;
            reading += compileOne(sources[i], i, &reader);
            code[i] = reader.functions();
        }
        compile = std::min(compile, plain);
        compileReading = std::min(compileReading, reading);
    }
    double analysis = 1e9;
    int warnings = 0;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir project;
        const std::clock_t start = std::clock();
        GlobalNameCheck check(project.path());
        for (int i = 0; i < kScripts; ++i)
            check.addScript(project.path() + QStringLiteral("/s%1.lua").arg(i), code[i]);
        warnings = check.warnings().size();
        analysis = std::min(analysis, seconds(start));
    }
    const double reading = std::max(0.0, compileReading - compile);
    const double checkTime = reading + analysis;
    const double ratio = checkTime / compile;
    std::printf("global name check: %d scripts, %.1f MB, %d warnings\n", kScripts, total / 1e6, warnings);
    std::printf("  compile and seal: %.3f s\n", compile);
    std::printf("  check:            %.3f s (reading the code beside the compile %.3f s, walking it %.3f s)\n",
                checkTime, reading, analysis);
    std::printf("  ratio %.3f, goal <= 0.2: %s\n", ratio, ratio <= 0.2 ? "PASS" : "FAIL");
    return 0;
}
