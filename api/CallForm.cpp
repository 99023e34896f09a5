#include "api/CallForm.h"

#include <QStringList>

#include <algorithm>

namespace {

bool isNameChar(QChar c)
{
    if (c.unicode() < 0x80)
        return c.isLetterOrNumber() || c == QLatin1Char('_');
    return c.isLetterOrNumber() || c.isMark();
}

bool isName(const QString &text)
{
    if (text.isEmpty() || text[0].isDigit())
        return false;
    for (const QChar c : text) {
        if (!isNameChar(c))
            return false;
    }
    return true;
}

} // namespace

Result<CallForm> CallForm::parse(const QString &line)
{
    const QString text = line.trimmed();
    if (text.size() > kMaxLineLength)
        return fail(QStringLiteral("超过%1个字符").arg(kMaxLineLength));
    const int open = text.indexOf(QLatin1Char('('));
    const QString head = text.left(open < 0 ? text.size() : open).trimmed();
    // The completion list's image mark "name?2" is no part of the name.
    QString name = head.section(QLatin1Char('?'), 0, 0);
    name.replace(QLatin1Char(':'), QLatin1Char('.'));
    const QStringList parts = name.split(QLatin1Char('.'));
    if (parts.size() > 2 || !std::all_of(parts.begin(), parts.end(), isName))
        return fail(QStringLiteral("“%1”不是函数名").arg(head.left(40)));

    CallForm form;
    form.name = name;
    if (open < 0)
        return form;
    const int close = text.lastIndexOf(QLatin1Char(')'));
    if (close < open)
        return fail(QStringLiteral("缺少右括号"));
    form.parameters = text.mid(open + 1, close - open - 1).trimmed();
    if (form.parameters.isNull())
        form.parameters = QLatin1String("");

    // Each parameter is a run of name characters; in brackets it is optional.
    int depth = 0;
    for (int i = 0; i < form.parameters.size();) {
        const QChar c = form.parameters[i];
        if (c == QLatin1Char('[')) {
            ++depth;
        } else if (c == QLatin1Char(']')) {
            if (--depth < 0)
                return fail(QStringLiteral("方括号不配对"));
        } else if (form.parameters.midRef(i, 3) == QLatin1String("...")) {
            form.maxArguments = kUnbounded;
            i += 3;
            continue;
        } else if (isNameChar(c)) {
            while (i < form.parameters.size() && isNameChar(form.parameters[i]))
                ++i;
            if (depth == 0)
                ++form.minArguments;
            if (form.maxArguments != kUnbounded)
                ++form.maxArguments;
            continue;
        }
        ++i;
    }
    if (depth != 0)
        return fail(QStringLiteral("方括号不配对"));
    return form;
}
