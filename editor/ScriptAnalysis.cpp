#include "editor/ScriptAnalysis.h"

#include "common/Names.h"
#include "common/RegularFile.h"
#include "project/DirListing.h"


ScriptAnalysis ScriptAnalysis::of(const QByteArray &text, const QString &fileName, const Analyser &analyse)
{
    ScriptAnalysis analysis;
    analysis.lineEnds = ScriptFile::lineEnds(text.constData(), text.size());
    analysis.words = ScriptWords::of(text.constData(), text.size());
    Result<ScriptFacts> facts = analyse(text, fileName);
    if (facts)
        analysis.facts = std::move(facts).value();
    else
        analysis.problem = facts.error();
    return analysis;
}

void ScriptAnalysis::ofProject(const QString &directory, const Analyser &analyse, const std::function<bool()> &cancelled,
                               const std::function<void(const QString &path, const ScriptFacts &facts)> &found)
{
    QStringList pending{QString()};
    while (!pending.isEmpty() && !cancelled()) {
        const QString relative = pending.takeLast();
        for (const DirListing::Entry &entry : DirListing::scan(directory + relative)) {
            if (cancelled())
                return;
            const QString path = relative + QLatin1Char('/') + entry.name;
            if (entry.isDir) {
                pending << path;
                continue;
            }
            if (!Names::isScriptName(entry.name))
                continue;
            Result<QByteArray> source = RegularFile::readWhole(entry.path(), ScriptFile::MaxSize);
            // The editor shows a script without its byte-order mark; so is it analysed.
            if (source && source->startsWith("\xEF\xBB\xBF"))
                source = source->mid(3);
            const Result<ScriptFacts> facts = source ? analyse(std::move(source).value(), entry.name)
                                                     : Result<ScriptFacts>(fail(source.error()));
            if (facts)
                found(path.mid(1), *facts);
        }
    }
}
