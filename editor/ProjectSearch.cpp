#include "editor/ProjectSearch.h"

#include "common/Names.h"
#include "common/RegularFile.h"
#include "project/DirListing.h"

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A result shows its line trimmed and cut, so a minified line does not flood the output.
constexpr int kShownLength = 300;
// Results wait at most this long on the search thread before they are handed over.
constexpr qint64 kBatchInterval = 50;

QString shown(const QString &line)
{
    const QString text = line.trimmed();
    return text.size() > kShownLength ? text.left(kShownLength) + QStringLiteral("…") : text;
}

using Matcher = std::function<int(const QString &text, int from)>;

Result<Matcher> matcher(const QString &pattern, const ProjectSearch::Options &options)
{
    if (pattern.isEmpty())
        return fail(QStringLiteral("请输入要查找的内容。"));
    const Qt::CaseSensitivity cs = options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!options.regularExpression)
        return Matcher([pattern, cs](const QString &text, int from) { return text.indexOf(pattern, from, cs); });

    Result<QRegularExpression> made = ProjectSearch::regularExpression(pattern, options.caseSensitive);
    if (!made)
        return fail(made.error());
    QRegularExpression expression = std::move(made).value();
    expression.optimize();
    return Matcher([expression](const QString &text, int from) {
        // The texts are decoded by QString, so they are valid UTF-16: checking the whole text at
        // every match would cost more than the search.
        const QRegularExpressionMatch match = expression.match(text, from, QRegularExpression::NormalMatch,
                                                                QRegularExpression::DontCheckSubjectStringMatchOption);
        return match.hasMatch() ? match.capturedStart() : -1;
    });
}

// Calls found(line number, text of the line) for each line of the text where match matches, in
// order, until found returns false. Lines end in LF or CR LF.
void searchText(const QString &text, const Matcher &match, const std::function<bool(int line, const QString &text)> &found)
{
    // An empty match at the very end is on a line of its own only when the text does not end
    // with a line end.
    const auto onALine = [&text](int at) {
        return at >= 0 && (at < text.size() || (at == text.size() && !text.isEmpty() && !text.endsWith(QLatin1Char('\n'))));
    };
    int line = 1;
    int lineStart = 0;
    int counted = 0; // newlines before this index are counted in line
    for (int at = match(text, 0); onALine(at); at = match(text, lineStart)) {
        for (int i = counted; i < at; ++i) {
            if (text[i] == QLatin1Char('\n')) {
                ++line;
                lineStart = i + 1;
            }
        }
        int lineEnd = text.indexOf(QLatin1Char('\n'), at);
        if (lineEnd < 0)
            lineEnd = text.size();
        const int length = lineEnd - lineStart - (lineEnd > lineStart && text[lineEnd - 1] == QLatin1Char('\r') ? 1 : 0);
        if (!found(line, text.mid(lineStart, length)))
            return;
        // One result per line: go on from the next line.
        if (lineEnd >= text.size())
            return;
        ++line;
        lineStart = lineEnd + 1;
        counted = lineStart;
    }
}

} // namespace

void ProjectSearch::addTextFiles(const QString &directory, const QString &prefix, QStringList *paths)
{
    QVector<DirListing::Entry> entries = DirListing::scan(directory);
    std::sort(entries.begin(), entries.end(),
              [](const DirListing::Entry &a, const DirListing::Entry &b) { return a.name < b.name; });
    for (const DirListing::Entry &entry : qAsConst(entries)) {
        if (entry.isDir)
            addTextFiles(entry.path(), prefix + entry.name + QLatin1Char('/'), paths);
        else if (Names::isTextName(entry.name))
            *paths << prefix + entry.name;
    }
}

QStringList ProjectSearch::textFiles(const QString &directory)
{
    QStringList paths;
    addTextFiles(directory, QString(), &paths);
    return paths;
}

Result<QRegularExpression> ProjectSearch::regularExpression(const QString &pattern, bool caseSensitive)
{
    // ^ and $ at every line, CR LF taken as one line end.
    const QString prefix = QStringLiteral("(*ANYCRLF)");
    QRegularExpression expression(prefix + pattern, caseSensitive ? QRegularExpression::MultilineOption
                                                                  : QRegularExpression::MultilineOption
                                                                        | QRegularExpression::CaseInsensitiveOption);
    if (!expression.isValid()) {
        const int offset = qMax(0, expression.patternErrorOffset() - prefix.size());
        return fail(QStringLiteral("正则表达式有误：") + expression.errorString() + QStringLiteral("（第")
                    + QString::number(offset + 1) + QStringLiteral("个字符处）"));
    }
    return expression;
}

ProjectSearch::ProjectSearch(QObject *parent)
    : QObject(parent)
{
    // One search at a time: a new one waits for the cancelled one to notice.
    pool.setMaxThreadCount(1);
    qRegisterMetaType<QVector<Diagnostic>>();
}

ProjectSearch::~ProjectSearch()
{
    cancel();
    pool.waitForDone();
}

void ProjectSearch::cancel()
{
    current = 0;
}

Result<int> ProjectSearch::start(const QString &projectDirectory, const QString &pattern, const Options &options,
                                 const Snapshots &openTexts)
{
    const Result<Matcher> match = matcher(pattern, options);
    if (!match)
        return fail(match.error());
    const int id = ++lastId;
    current = id;
    pool.start([this, id, projectDirectory, match = match.value(), openTexts] { run(id, projectDirectory, match, openTexts); });
    return id;
}

void ProjectSearch::run(int id, const QString &directory, const Matcher &match, const Snapshots &openTexts)
{
    const auto cancelled = [this, id] { return current != id; };
    // Hands lines over to the owner's thread, which drops them if the search was cancelled meanwhile.
    const auto deliver = [this, id](const QVector<Diagnostic> &lines) {
        QMetaObject::invokeMethod(this, [this, id, lines] {
            if (current == id)
                emit signal_results(id, lines);
        }, Qt::QueuedConnection);
    };

    QStringList paths = textFiles(directory);
    // An open script whose file is gone is still what the author sees.
    const int listed = paths.size();
    for (auto open = openTexts.constBegin(); open != openTexts.constEnd(); ++open) {
        if (!paths.contains(open.key()))
            paths << open.key();
    }
    if (paths.size() > listed)
        std::sort(paths.begin(), paths.end());
    QVector<Diagnostic> batch;
    QElapsedTimer sinceDelivery;
    sinceDelivery.start();
    bool delivered = false;
    int results = 0;
    int files = 0;
    int tooLarge = 0;
    for (const QString &path : qAsConst(paths)) {
        if (cancelled())
            return;
        const auto open = openTexts.constFind(path);
        QString text;
        if (open != openTexts.constEnd()) {
            text = *open;
        } else {
            QFile file;
            if (!RegularFile::open(file, directory + QLatin1Char('/') + path))
                continue;
            if (file.size() > MaxFileSize) {
                ++tooLarge;
                continue;
            }
            text = QString::fromUtf8(file.readAll());
        }
        const int before = results;
        searchText(text, match, [&](int line, const QString &lineText) {
            if (++results <= MaxListed)
                batch << Diagnostic{Diagnostic::Kind::SearchResult,
                                    QDir::toNativeSeparators(path) + QLatin1Char(':') + QString::number(line) + QStringLiteral(": ") + shown(lineText),
                                    directory, path, line, {}};
            // A search with very many results still notices that it was cancelled.
            return (results & 0xFFF) != 0 || !cancelled();
        });
        if (results > before)
            ++files;
        // The first results go at once; later ones in batches.
        if (!batch.isEmpty() && (!delivered || sinceDelivery.elapsed() >= kBatchInterval)) {
            deliver(batch);
            batch.clear();
            delivered = true;
            sinceDelivery.restart();
        }
    }
    if (cancelled())
        return;
    if (!batch.isEmpty())
        deliver(batch);
    QString countLine = QStringLiteral("共找到") + QString::number(results) + QStringLiteral("个结果（")
        + QString::number(files) + QStringLiteral("个文件）");
    if (results > MaxListed)
        countLine += QStringLiteral("，只列出前") + QString::number(MaxListed) + QStringLiteral("个");
    if (tooLarge > 0)
        countLine += QStringLiteral("，") + QString::number(tooLarge) + QStringLiteral("个大于64MB的文件未查找");
    QMetaObject::invokeMethod(this, [this, id, countLine] {
        if (current == id)
            emit signal_finished(id, countLine);
    }, Qt::QueuedConnection);
}
