#include "editor/OutputLink.h"

#include "common/Names.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <iterator>

namespace {

std::optional<OutputLink> compilerReport(const QStringList &lines, int index)
{
    // 脚本<file name>第<line>行有语法错误,<message>; a colon in the script's first line shifts
    // the pieces of the compiler's message, and then the line number stands after the comma.
    static const QRegularExpression report(QStringLiteral("^(?:错误：)?脚本(.+)行有语法错误,(.*)$"));
    static const QRegularExpression progress(QStringLiteral("^正在编译\\[(.+)\\]$"));
    static const QRegularExpression fileAndLine(QStringLiteral("^(.+)第(\\d+)$"));
    static const QRegularExpression near(QStringLiteral("near '(.+)'$"));
    const QRegularExpressionMatch match = report.match(lines[index]);
    if (!match.hasMatch())
        return std::nullopt;
    const QString named = match.captured(1); // <file name>第<line>
    const QString message = match.captured(2);

    // The script that failed is the last one compiled.
    QString path;
    for (int i = index - 1; i >= 0 && path.isEmpty(); --i) {
        const QRegularExpressionMatch compiling = progress.match(lines[i]);
        if (compiling.hasMatch())
            path = compiling.captured(1);
    }
    const QString fileName = QFileInfo(path).fileName(); // after "/", or on Windows "\\" too
    OutputLink link;
    link.kind = OutputLink::Kind::SyntaxError;
    QString lineText;
    if (!path.isEmpty() && named.startsWith(fileName + QStringLiteral("第"))) {
        link.path = path;
        lineText = named.mid(fileName.size() + 1);
    } else if (const QRegularExpressionMatch m = fileAndLine.match(named); m.hasMatch()) {
        link.path = m.captured(1);
        lineText = m.captured(2);
    } else {
        const int ordinal = named.indexOf(QStringLiteral("第"));
        if (ordinal <= 0)
            return std::nullopt;
        link.path = named.left(ordinal);
    }
    bool ok = false;
    link.line = lineText.toInt(&ok);
    if (ok) {
        const QRegularExpressionMatch token = near.match(message);
        if (token.hasMatch())
            link.token = token.captured(1);
    } else {
        link.line = message.toInt(&ok); // the shifted pieces
    }
    if (!ok || link.line <= 0)
        return std::nullopt;
    return link;
}

std::optional<OutputLink> warningOrResult(const QString &line)
{
    // Each with the path, the line and the name to mark (the field of a library table); the
    // warnings first, then a search result.
    static const QRegularExpression kinds[] = {
        QRegularExpression(QStringLiteral("^警告：脚本(.+?)第(\\d+)行使用了未定义的全局名“(?:[^”]*\\.)?([^”]+)”，是否为“.+”？$")),
        QRegularExpression(QStringLiteral("^警告：脚本(.+?)第(\\d+)行使用了未定义的全局名“(?:[^”]*\\.)?([^”]+)”$")),
        QRegularExpression(QStringLiteral("^警告：脚本(.+?)第(\\d+)行调用“(.+)”时传入了\\d+个参数，应为\\d+个$")),
        // a search result: <path>:<line>: <text>
        QRegularExpression(QStringLiteral("^(.+?):(\\d+): ()")),
    };
    for (const QRegularExpression &kind : kinds) {
        const QRegularExpressionMatch match = kind.match(line);
        if (match.hasMatch() && match.captured(2).toInt() > 0)
            return OutputLink{match.captured(1), match.captured(2).toInt(), match.captured(3),
                              &kind == &kinds[std::size(kinds) - 1] ? OutputLink::Kind::SearchResult
                                                                    : OutputLink::Kind::Warning};
    }
    return std::nullopt;
}

} // namespace

std::optional<OutputLink> OutputLink::parse(const QStringList &lines, int index)
{
    if (index < 0 || index >= lines.size())
        return std::nullopt;
    if (std::optional<OutputLink> link = compilerReport(lines, index))
        return link;
    return warningOrResult(lines[index]);
}

Result<QString> OutputLink::file(const QString &projectDirectory) const
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString directory = QFileInfo(projectDirectory).canonicalFilePath();
    if (directory.isEmpty() || path.isEmpty() || QDir::isAbsolutePath(path))
        return fail(QStringLiteral("找不到脚本[%1]。").arg(shown));
    const QFileInfo target(QDir::cleanPath(QFileInfo(projectDirectory).absoluteFilePath() + QLatin1Char('/') + path));
    if (!target.isFile())
        return fail(QStringLiteral("找不到脚本[%1]。").arg(shown));
    if (!target.canonicalFilePath().startsWith(directory + QLatin1Char('/')))
        return fail(QStringLiteral("脚本[%1]不在工程目录中，未打开。").arg(shown));
    if (!Names::isTextName(target.fileName()))
        return fail(QStringLiteral("[%1]不是脚本或文本文件，未打开。").arg(shown));
    return target.filePath();
}

int OutputLink::tokenColumn(const QString &lineText) const
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
