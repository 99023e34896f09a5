#include "editor/LexerWords.h"

#include "api/ApiModel.h"

QByteArray LexerWords::forSet(const ApiModel &model, int set)
{
    static const QStringList systemTables = {"coroutine", "io", "os", "debug", "package", "bit32"};
    QStringList words;
    if (set == 1)
        words = model.keywords();
    if (set == 2)
        words = model.tables();
    for (const ApiEntry &entry : model.entries()) {
        const bool dotted = entry.name.contains(QLatin1Char('.'));
        const int of = entry.isRuntime() ? 3 : !dotted ? 2 : systemTables.contains(entry.library) ? 4 : 3;
        if (of == set)
            words << entry.name << entry.aliases;
    }
    return words.join(QLatin1Char(' ')).toUtf8();
}
