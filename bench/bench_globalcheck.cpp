// The check of global names against the compile it follows, on a project of 200 scripts
// totalling 5 MB: the check's own work (holding the unstripped dump, reading it, walking the
// code, the project-wide verdict) against compiling and sealing the same scripts.
// Goal: at most 0.2 x the compile time.
#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ScriptCompiler.h"
#include "bench/support/LuaText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kScripts = 200;
constexpr qint64 kTotal = 5 * 1000 * 1000;

// Compiles every script, keeping the unstripped dumps when asked; returns seconds.
double compileAll(const QVector<QByteArray> &sources, QVector<QByteArray> *dumps)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < sources.size(); ++i) {
        const CompileResult result = ScriptCompiler::compile(sources[i], QStringLiteral("s%1.lua").arg(i),
                                                             dumps ? &(*dumps)[i] : nullptr);
        if (!result.ok)
            qFatal("compile failed: %s", qPrintable(result.report));
    }
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    QVector<QByteArray> sources;
    qint64 total = 0;
    for (int i = 0; i < kScripts; ++i) {
        sources << luaText(kTotal / kScripts, 1000 + i);
        total += sources.last().size();
    }

    // The best of three runs each: timings on a shared machine only ever get worse.
    QVector<QByteArray> dumps(kScripts);
    double compile = 1e9, compileKeeping = 1e9, analysis = 1e9;
    int warnings = 0;
    for (int run = 0; run < 3; ++run) {
        compile = std::min(compile, compileAll(sources, nullptr));
        compileKeeping = std::min(compileKeeping, compileAll(sources, &dumps));
        QTemporaryDir project;
        QElapsedTimer timer;
        timer.start();
        GlobalNameCheck check(project.path());
        for (int i = 0; i < kScripts; ++i)
            check.addScript(project.path() + QStringLiteral("/s%1.lua").arg(i), dumps[i]);
        warnings = check.warnings().size();
        analysis = std::min(analysis, timer.nsecsElapsed() / 1e9);
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
