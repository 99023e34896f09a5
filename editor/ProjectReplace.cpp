#include "editor/ProjectReplace.h"

#include "editor/ScriptFile.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

// A line of the preview is cut, so a minified script does not flood it.
constexpr int kShownLength = 200;

QString shown(QString text)
{
    text.replace(QLatin1String("\r\n"), QStringLiteral(" ↵ ")).replace(QLatin1Char('\n'), QStringLiteral(" ↵ "));
    text = text.trimmed();
    return text.size() > kShownLength ? text.left(kShownLength) + QStringLiteral("…") : text;
}

// The replacement for one match of a regular expression: \0 … \9 are the match and its groups,
// \\ a backslash; any other backslash stands for itself.
QString expanded(const QString &replacement, const QRegularExpressionMatch &match)
{
    QString out;
    out.reserve(replacement.size());
    for (int i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c != QLatin1Char('\\') || i + 1 == replacement.size()) {
            out += c;
            continue;
        }
        const QChar next = replacement[i + 1];
        if (next.isDigit() && next.unicode() < 0x80) {
            out += match.captured(next.digitValue());
            ++i;
        } else if (next == QLatin1Char('\\')) {
            out += next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// Line starts (offsets) of a text, LF ending a line.
QVector<int> lineStarts(const QString &text)
{
    QVector<int> starts{0};
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n'))
            starts.append(i + 1);
    }
    return starts;
}

// The changed lines of a text, the matches on a line (or run of lines a match spans) together.
QVector<ProjectReplace::Change> changesOf(const QString &text, const QVector<ProjectReplace::Match> &matches, int room,
                                          bool *cut)
{
    QVector<ProjectReplace::Change> changes;
    const QVector<int> starts = lineStarts(text);
    const auto lineOf = [&starts](int offset) { return int(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1; };
    const auto lineEnd = [&starts, &text](int line) {
        int end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
        if (end > starts[line] && text[end - 1] == QLatin1Char('\r'))
            --end;
        return end;
    };
    for (int i = 0; i < matches.size() && changes.size() < room;) {
        const int first = lineOf(matches[i].start);
        int spanEnd = lineEnd(lineOf(matches[i].start + matches[i].length));
        int j = i + 1;
        while (j < matches.size() && matches[j].start <= spanEnd) {
            spanEnd = qMax(spanEnd, lineEnd(lineOf(matches[j].start + matches[j].length)));
            ++j;
        }
        const int spanStart = starts[first];
        QVector<ProjectReplace::Match> inSpan = matches.mid(i, j - i);
        for (ProjectReplace::Match &m : inSpan)
            m.start -= spanStart;
        const QString before = text.mid(spanStart, spanEnd - spanStart);
        changes.append({first + 1, shown(before), shown(ProjectReplace::replaced(before, inSpan))});
        i = j;
        if (i < matches.size() && changes.size() == room)
            *cut = true;
    }
    if (room <= 0 && !matches.isEmpty())
        *cut = true;
    return changes;
}

} // namespace

ProjectReplace::ProjectReplace(QObject *parent)
    : QObject(parent)
{
    pool.setMaxThreadCount(1);
}

ProjectReplace::~ProjectReplace()
{
    cancel();
    pool.waitForDone();
}

void ProjectReplace::cancel()
{
    current = 0;
}

Result<ProjectReplace::Matcher> ProjectReplace::matcher(const QString &pattern, const QString &replacement,
                                                        const Options &options)
{
    if (pattern.isEmpty())
        return fail(QStringLiteral("请输入要查找的内容。"));
    if (!options.regularExpression) {
        const Qt::CaseSensitivity cs = options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        return Matcher([pattern, replacement, cs](const QString &text) {
            QVector<Match> found;
            for (int at = text.indexOf(pattern, 0, cs); at >= 0; at = text.indexOf(pattern, at + pattern.size(), cs))
                found.append({at, int(pattern.size()), replacement});
            return found;
        });
    }
    Result<QRegularExpression> made = ProjectSearch::regularExpression(pattern, options.caseSensitive);
    if (!made)
        return fail(made.error());
    QRegularExpression expression = std::move(made).value();
    expression.optimize();
    return Matcher([expression, replacement](const QString &text) {
        QVector<Match> found;
        // Empty matches (^, x*) are stepped over by the iterator itself, so it always ends.
        QRegularExpressionMatchIterator it = expression.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            found.append({match.capturedStart(), match.capturedLength(), expanded(replacement, match)});
        }
        return found;
    });
}

QString ProjectReplace::replaced(const QString &text, const QVector<Match> &matches)
{
    QString out;
    out.reserve(text.size());
    int from = 0;
    for (const Match &match : matches) {
        out += text.midRef(from, match.start - from);
        out += match.replacement;
        from = match.start + match.length;
    }
    out += text.midRef(from);
    return out;
}

QByteArray ProjectReplace::digest(const QString &text)
{
    return QCryptographicHash::hash(
        QByteArray::fromRawData(reinterpret_cast<const char *>(text.constData()), text.size() * int(sizeof(QChar))),
        QCryptographicHash::Sha1);
}

Result<int> ProjectReplace::start(const QString &directory, const QString &pattern, const QString &replacement,
                                  const Options &options, const QHash<QString, QString> &openTexts)
{
    const Result<Matcher> match = matcher(pattern, replacement, options);
    if (!match)
        return fail(match.error());
    const int id = ++lastId;
    current = id;
    Plan plan;
    plan.directory = directory;
    plan.pattern = pattern;
    plan.replacement = replacement;
    plan.options = options;
    pool.start([this, id, plan, match = match.value(), openTexts] { run(id, plan, match, openTexts); });
    return id;
}

void ProjectReplace::run(int id, Plan plan, const Matcher &match, const QHash<QString, QString> &openTexts)
{
    int listed = 0;
    for (const QString &path : ProjectSearch::textFiles(plan.directory)) {
        if (current != id)
            return;
        File file;
        file.path = path;
        QString text;
        if (openTexts.contains(path)) {
            text = openTexts.value(path);
            file.open = true;
        } else {
            const Result<ScriptFile::Contents> read = ScriptFile::read(plan.directory + QLatin1Char('/') + path);
            if (!read) {
                plan.passedOver << path + QStringLiteral("：") + read.error();
                continue;
            }
            text = read->text;
            if (!read->faithful) {
                // Rewriting it would turn its other bytes into U+FFFD.
                if (!match(text).isEmpty())
                    plan.passedOver << path + QStringLiteral("：含有不是UTF-8编码的字节，请在编辑器中打开后替换");
                continue;
            }
        }
        const QVector<Match> matches = match(text);
        if (matches.isEmpty())
            continue;
        file.count = matches.size();
        file.changes = changesOf(text, matches, MaxListed - listed, &plan.cut);
        listed += file.changes.size();
        file.digest = digest(text);
        plan.total += file.count;
        plan.files.append(file);
    }
    QMetaObject::invokeMethod(this, [this, id, plan] {
        if (current == id)
            emit signal_planned(id, plan);
    }, Qt::QueuedConnection);
}

Result<int> ProjectReplace::applyToFile(const Plan &plan, const File &file)
{
    const QString path = plan.directory + QLatin1Char('/') + file.path;
    const Result<ScriptFile::Contents> read = ScriptFile::read(path);
    if (!read)
        return fail(read.error());
    if (!read->faithful || digest(read->text) != file.digest)
        return fail(QStringLiteral("文件在预览之后被改动，未替换"));
    const Result<Matcher> match = matcher(plan.pattern, plan.replacement, plan.options);
    if (!match)
        return fail(match.error());
    const QVector<Match> matches = (*match)(read->text);
    const Status written = ScriptFile::write(path, replaced(read->text, matches), read->byteOrderMark);
    if (!written)
        return fail(written.error());
    return int(matches.size());
}
