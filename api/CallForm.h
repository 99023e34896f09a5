#pragma once

#include "common/Result.h"

#include <QString>

// One written form of a call, "findImage(imagePath,x1,y1,x2,y2)", or a bare name (a value, or a
// function whose parameters are not known). Parameters in square brackets are optional, "..."
// takes any number more: "string.find(s, pattern [, init [, plain]])" takes 2 to 4 arguments.
struct CallForm
{
    static constexpr int kUnbounded = -1;

    QString name;       // "findImage"; a table's field as "string.find"
    QString parameters; // as written between the parentheses; null for a bare name
    int minArguments = 0;
    int maxArguments = 0; // kUnbounded after "..."

    bool isCall() const { return !parameters.isNull(); }
    bool accepts(int arguments) const
    {
        return arguments >= minArguments && (maxArguments == kUnbounded || arguments <= maxArguments);
    }
    QString text() const { return isCall() ? name + QLatin1Char('(') + parameters + QLatin1Char(')') : name; }

    // One line of API notation: "name", "name(parameters)", "table.name(parameters)" or, as the
    // editor's completion list writes it, "table:name(parameters)". Text after the closing
    // parenthesis is ignored. Names are Lua names or the runtime's Chinese ones, at most one table
    // deep; lines longer than kMaxLineLength are refused.
    static Result<CallForm> parse(const QString &line);
    static constexpr int kMaxLineLength = 1000;
};
