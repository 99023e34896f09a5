// The check of global names against the compile it follows, on a project of 200 scripts
// totalling 5 MB: the check's own work (holding the unstripped dump, reading it, walking the
// code, the project-wide verdict) against compiling and sealing the same scripts.
// Goal: at most 0.2 x the compile time. Both run on this one thread, so the times taken are its
// processor time: what other programs on a busy machine take is not counted to either.
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

// Seconds to compile and seal one script, keeping its unstripped dump when asked.
double compileOne(const QByteArray &source, int i, QByteArray *dump)
{
    const std::clock_t start = std::clock();
    const Result<QByteArray> compiled = ScriptCompiler::compile(source, QStringLiteral("s%1.lua").arg(i), dump);
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

    // The best of three runs, compiling with and without keeping the dumps.
    QVector<QByteArray> dumps(kScripts);
    double compile = 1e9, compileKeeping = 1e9;
    for (int run = 0; run < 3; ++run) {
        double plain = 0, keeping = 0;
        for (int i = 0; i < kScripts; ++i) {
            plain += compileOne(sources[i], i, nullptr);
            keeping += compileOne(sources[i], i, &dumps[i]);
        }
        compile = std::min(compile, plain);
        compileKeeping = std::min(compileKeeping, keeping);
    }
    double analysis = 1e9;
    int warnings = 0;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir project;
        const std::clock_t start = std::clock();
        GlobalNameCheck check(project.path());
        for (int i = 0; i < kScripts; ++i)
            check.addScript(project.path() + QStringLiteral("/s%1.lua").arg(i), dumps[i]);
        warnings = check.warnings().size();
        analysis = std::min(analysis, seconds(start));
    }
    const double keeping = std::max(0.0, compileKeeping - compile);
    const double checkTime = keeping + analysis;
    const double ratio = checkTime / compile;
    std::printf("global name check: %d scripts, %.1f MB, %d warnings\n", kScripts, total / 1e6, warnings);
    std::printf("  compile and seal: %.3f s\n", compile);
    std::printf("  check:            %.3f s (holding the unstripped dump %.3f s, reading and walking it %.3f s)\n",
                checkTime, keeping, analysis);
    std::printf("  ratio %.3f, goal <= 0.2: %s\n", ratio, ratio <= 0.2 ? "PASS" : "FAIL");
    return 0;
}
