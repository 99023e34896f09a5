#include "common/Diagnostic.h"

#include "common/Names.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString Diagnostic::text() const
{
    return kind == Kind::Error ? QStringLiteral("错误：") + message : message;
}

Result<QString> Diagnostic::file() const
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString root = QFileInfo(directory).canonicalFilePath();
    if (root.isEmpty() || path.isEmpty() || QDir::isAbsolutePath(path))
        return fail(QStringLiteral("找不到脚本[%1]。").arg(shown));
    const QFileInfo target(QDir::cleanPath(QFileInfo(directory).absoluteFilePath() + QLatin1Char('/') + path));
    if (!target.isFile())
        return fail(QStringLiteral("找不到脚本[%1]。").arg(shown));
    if (!target.canonicalFilePath().startsWith(root + QLatin1Char('/')))
        return fail(QStringLiteral("脚本[%1]不在工程目录中，未打开。").arg(shown));
    if (!Names::isTextName(target.fileName()))
        return fail(QStringLiteral("[%1]不是脚本或文本文件，未打开。").arg(shown));
    return target.filePath();
}

int Diagnostic::tokenColumn(const QString &lineText) const
{
    if (token.isEmpty())
        return -1;
    const auto isWordCharacter = [&lineText](int i) {
        return i >= 0 && i < lineText.size() && (lineText[i].isLetterOrNumber() || lineText[i] == QLatin1Char('_'));
    };
    const int first = lineText.indexOf(token);
    for (int at = first; at >= 0; at = lineText.indexOf(token, at + 1)) {
        if (!isWordCharacter(at - 1) && !isWordCharacter(at + token.size()))
            return at;
    }
    return first;
}

std::optional<Diagnostic> Diagnostic::fromLogLine(const QString &line, const QString &directory)
{
    static const QRegularExpression place(QStringLiteral("^(.+?):(\\d+): "));
    const QRegularExpressionMatch match = place.match(line);
    const int number = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (number <= 0)
        return std::nullopt;
    return Diagnostic{Kind::SearchResult, line, directory, match.captured(1), number, {}};
}
