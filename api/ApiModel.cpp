#include "api/ApiModel.h"

#include "api/ApiTables.h"
#include "common/DataLocations.h"
#include "common/RegularFile.h"

#include <QFileInfo>

#include <algorithm>

namespace {

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A file that cannot be read whole is one problem; a garbled one is not a flood of them.
constexpr int kMaxProblems = 10;

} // namespace

ApiModel::ApiModel()
    : keywordList(words(luaKeywords()))
{
    addTable(runtimeApiTable(), QLatin1String(ApiEntry::kRuntime));
    addTable(luaLibraryTable(), QStringLiteral("_G"));
}

const ApiModel &ApiModel::builtIn()
{
    static const ApiModel model;
    return model;
}

const ApiModel &ApiModel::standard()
{
    static const ApiModel model = withAdditions(DataLocations::standard().find(DataLocations::apiAdditions()));
    return model;
}

ApiModel ApiModel::withAdditions(const QString &path)
{
    ApiModel model = builtIn();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return model;
    const Result<QByteArray> text = RegularFile::readWhole(path, kMaxAdditionsBytes);
    if (!text)
        model.problemList << QStringLiteral("无法读取API补充文件%1：%2").arg(path, text.error());
    else
        model.addLines(*text, path);
    return model;
}

void ApiModel::addTable(const ApiTable &table, const QString &library)
{
    for (int row = 0; row < table.size; ++row) {
        const ApiRecord &record = table.rows[row];
        ApiEntry entry;
        for (const QString &written : QString::fromUtf8(record.forms).split(QLatin1Char('|'))) {
            const Result<CallForm> form = CallForm::parse(written);
            if (!form) {
                problemList << QStringLiteral("内置的“%1”无法识别：%2").arg(written, form.error());
                continue;
            }
            entry.name = form->name;
            if (form->isCall())
                entry.forms << *form;
        }
        const int dot = entry.name.indexOf(QLatin1Char('.'));
        entry.library = dot < 0 ? library : entry.name.left(dot);
        entry.aliases = words(record.aliases);
        entry.returns = QString::fromUtf8(record.returns);
        entry.description = QString::fromUtf8(record.description);
        entry.onPc = record.onPc.value_or(table.onPc);
        entry.onPcNote = QString::fromUtf8(record.onPcNote);
        add(entry);
    }
}

void ApiModel::add(const ApiEntry &entry)
{
    const int dot = entry.name.indexOf(QLatin1Char('.'));
    if (dot >= 0 && !tableNames.contains(entry.name.left(dot)))
        tableNames << entry.name.left(dot);
    byName.insert(entry.name, list.size());
    for (const QString &alias : entry.aliases)
        byName.insert(alias, list.size());
    list << entry;
}

const ApiEntry *ApiModel::find(const QString &nameOrAlias) const
{
    const auto found = byName.constFind(nameOrAlias);
    return found == byName.constEnd() ? nullptr : &list[*found];
}

void ApiModel::addLines(const QByteArray &text, const QString &path)
{
    const int known = list.size();
    int skipped = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (int number = 1; number <= lines.size(); ++number) {
        const QString line = QString::fromUtf8(lines[number - 1]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1String("--")))
            continue;
        const Result<CallForm> form = CallForm::parse(line);
        if (!form) {
            if (++skipped <= kMaxProblems)
                problemList << QStringLiteral("API补充文件%1第%2行已忽略：%3").arg(path).arg(number).arg(form.error());
            continue;
        }
        if (isKeyword(form->name) || tableNames.contains(form->name))
            continue;
        const auto found = byName.constFind(form->name);
        if (found != byName.constEnd()) {
            // A name of the file's own gains its further call forms; the built-in ones stay.
            ApiEntry &entry = list[*found];
            if (*found >= known && form->isCall()
                && std::none_of(entry.forms.begin(), entry.forms.end(),
                                [&form](const CallForm &f) { return f.parameters == form->parameters; }))
                entry.forms << *form;
            continue;
        }
        if (list.size() - known >= kMaxAdditions) {
            problemList << QStringLiteral("API补充文件%1第%2行起已忽略：最多添加%3个名称").arg(path).arg(number).arg(kMaxAdditions);
            break;
        }
        ApiEntry entry;
        entry.name = form->name;
        const int dot = entry.name.indexOf(QLatin1Char('.'));
        entry.library = dot < 0 ? QLatin1String(ApiEntry::kRuntime) : entry.name.left(dot);
        if (form->isCall())
            entry.forms << *form;
        entry.description = QStringLiteral("由API补充文件添加");
        add(entry);
    }
    if (skipped > kMaxProblems)
        problemList << QStringLiteral("API补充文件%1另有%2行已忽略").arg(path).arg(skipped - kMaxProblems);
}
