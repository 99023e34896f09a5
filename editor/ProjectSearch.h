#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"

#include <QHash>
#include <QObject>
#include <QRegularExpression>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

#include <atomic>
#include <functional>

// Search across a project: a text or a regular expression over every script and text file
// under the project directory, one result per matching line, shown as "<relative path>:<line>:
// <text>" and leading to that line. Scripts open with unsaved changes are searched in the text
// the author sees, handed over as snapshots, so results and their lines match the editors.
// The search runs on a thread of its own so that large projects leave the window responsive;
// its results come back to the thread that owns this object in batches, and starting another
// search cancels the one running (nothing more arrives from it).
class ProjectSearch : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        bool regularExpression = false;
        bool caseSensitive = false;
    };

    // Results listed at the most; the count line still counts them all.
    static constexpr int MaxListed = 10000;
    // Files larger than this are passed over (and counted in the count line).
    static constexpr qint64 MaxFileSize = qint64(64) << 20;

    explicit ProjectSearch(QObject *parent = nullptr);
    // Cancels a running search and waits for its thread.
    ~ProjectSearch() override;

    // The texts of open scripts by their path relative to the project directory; they are
    // searched instead of their files (also when the file is gone).
    using Snapshots = QHash<QString, QString>;

    // Starts searching; the id comes back with every signal of this search. Starts nothing and
    // says why for an empty pattern or an invalid regular expression.
    Result<int> start(const QString &projectDirectory, const QString &pattern, const Options &options,
                      const Snapshots &openTexts = {});
    // Stops the running search; it reports nothing more.
    void cancel();

    // The files a search looks through: the scripts and text files under a directory, as paths
    // relative to it in path order; no symbolic links.
    static QStringList textFiles(const QString &directory);
    // A pattern as a regular expression: ^ and $ at every line, CR LF one line end. Fails
    // saying where it is wrong.
    static Result<QRegularExpression> regularExpression(const QString &pattern, bool caseSensitive);

signals:
    // The next results of search id, in file order.
    void signal_results(int id, const QVector<Diagnostic> &found);
    // Search id is complete: "共找到N个结果（M个文件）", with what was cut or passed over.
    void signal_finished(int id, const QString &countLine);

private:
    // Where the pattern next matches in a text at or after a position, or -1.
    using Matcher = std::function<int(const QString &text, int from)>;
    void run(int id, const QString &directory, const Matcher &match, const Snapshots &openTexts);
    static void addTextFiles(const QString &directory, const QString &prefix, QStringList *paths);

    std::atomic<int> current{0}; // the id whose results are wanted; 0 for none
    int lastId = 0;
    QThreadPool pool;            // last: its threads are waited for before the rest goes
};
