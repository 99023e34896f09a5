#pragma once

#include "api/ApiEntry.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

struct ApiTable;

// The one model of what a script can call: the device runtime's API and Lua 5.2's standard
// library, built into the program. The lexer's word sets, the editor's completion list, the API
// reference, F1 and the script check all derive from it. An author may add names the runtime has
// and the model lacks in a file config/apis.txt (working directory, else the installed data).
class ApiModel
{
public:
    // What the program was built with.
    static const ApiModel &builtIn();
    // The built-in model with the additions config/apis.txt holds, read once per run.
    static const ApiModel &standard();
    // The built-in model with the additions of an API file: one name a line in the completion
    // list's notation ("name(parameters)", "table:name(parameters)" or a bare name), empty lines
    // and lines starting with "#" or "--" passed over. Names the model already knows stay as they
    // are; lines it cannot read are skipped and said in problems(). No file, no additions.
    static ApiModel withAdditions(const QString &path);
    static constexpr qint64 kMaxAdditionsBytes = 1 << 20;
    static constexpr int kMaxAdditions = 5000; // names; the completion list is prepared from them all

    // The runtime's entries, then Lua's, each in its table's order, then the additions.
    const QVector<ApiEntry> &entries() const { return list; }
    // The entry of a name or of one of its aliases; null when the model has none.
    const ApiEntry *find(const QString &nameOrAlias) const;
    // The tables whose fields are entries ("string", "math", …), in the order of the entries.
    const QStringList &tables() const { return tableNames; }
    // Lua's reserved words.
    const QStringList &keywords() const { return keywordList; }
    bool isKeyword(const QString &word) const { return keywordList.contains(word); }
    // What could not be added, one Chinese line each.
    const QStringList &problems() const { return problemList; }

private:
    ApiModel();
    void addTable(const ApiTable &table, const QString &library);
    void add(const ApiEntry &entry);
    void addLines(const QByteArray &text, const QString &path);

    QVector<ApiEntry> list;
    QHash<QString, int> byName; // names and aliases
    QStringList tableNames;
    QStringList keywordList;
    QStringList problemList;
};
