#include "editor/LineComment.h"

#include "editor/AutoIndent.h"

#include <algorithm>
#include <limits>

namespace {

const QString kMarker = QStringLiteral("--");

} // namespace

QVector<LineComment::Edit> LineComment::toggle(const QStringList &lines)
{
    bool allCommented = true;
    bool anyCode = false;
    int indentation = std::numeric_limits<int>::max();
    for (const QString &line : lines) {
        const int start = AutoIndent::leadingWhiteSpace(line).size();
        if (start == line.size())
            continue;
        anyCode = true;
        indentation = std::min(indentation, start);
        allCommented = allCommented && line.midRef(start).startsWith(kMarker);
    }
    QVector<Edit> edits;
    if (!anyCode)
        return edits;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        const int start = AutoIndent::leadingWhiteSpace(line).size();
        if (start == line.size())
            continue;
        if (!allCommented) {
            edits.append({i, indentation, 0, kMarker + QLatin1Char(' ')});
            continue;
        }
        const int behind = start + kMarker.size();
        const bool blank = behind < line.size() && line[behind] == QLatin1Char(' ');
        edits.append({i, start, kMarker.size() + (blank ? 1 : 0), QString()});
    }
    return edits;
}
