#pragma once

#include "common/Result.h"
#include "editor/ProjectSearch.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

#include <atomic>
#include <functional>

// Replacing a text or regular expression across a project: every match in every script and
// text file that the project search looks through. It works in two steps. The plan, made on a
// thread of its own, says what would change where (the lines before and after, counted per
// file) and is shown to the author; nothing is written yet. Then each file of the plan is
// changed: an open script in its editor (by the caller), a closed one here, through the atomic
// writer, and only while its text is still the one the plan was made from.
// With a regular expression, \0 … \9 in the replacement stand for the match and its groups and
// \\ for one backslash; ^ and $ match at every line.
class ProjectReplace : public QObject
{
    Q_OBJECT

public:
    using Options = ProjectSearch::Options;

    // One match in a text (offsets in UTF-16 code units) and what replaces it.
    struct Match
    {
        int start = 0;
        int length = 0;
        QString replacement;
    };
    // Every match in a text, in order, none overlapping.
    using Matcher = std::function<QVector<Match>(const QString &text)>;

    // A changed line of the plan, as it reads before and after (a match across line ends shows
    // all its lines, joined by "↵").
    struct Change
    {
        int line = 0; // from 1
        QString before;
        QString after;
    };
    struct File
    {
        QString path; // relative to the project directory
        int count = 0;
        QVector<Change> changes; // the first ones, up to MaxListed over the whole plan
        QByteArray digest;       // of the text the plan was made from
        bool open = false;       // the text came from the script's editor
    };
    struct Plan
    {
        QString directory;
        QString pattern;
        QString replacement;
        Options options;
        QVector<File> files; // with at least one match, in path order
        int total = 0;
        bool cut = false; // more lines change than are listed
        QStringList passedOver; // files that cannot be replaced in, each "<path>：<why>"
    };

    static constexpr int MaxListed = 5000;

    explicit ProjectReplace(QObject *parent = nullptr);
    // Cancels a running plan and waits for its thread.
    ~ProjectReplace() override;

    // Fails, saying why, for an empty pattern or an invalid regular expression.
    static Result<Matcher> matcher(const QString &pattern, const QString &replacement, const Options &options);
    static QString replaced(const QString &text, const QVector<Match> &matches);
    static QByteArray digest(const QString &text);

    // Starts making the plan; openTexts are the texts of the project's open scripts, by path
    // relative to the directory, which stand in for their files. The id comes back with the plan.
    Result<int> start(const QString &directory, const QString &pattern, const QString &replacement,
                      const Options &options, const QHash<QString, QString> &openTexts);
    // The plan being made is not wanted any more.
    void cancel();

    // Replaces in a file that is not open, as the plan says: read, checked against the plan,
    // written atomically (keeping a byte-order mark). Returns how many were replaced.
    static Result<int> applyToFile(const Plan &plan, const File &file);

signals:
    void signal_planned(int id, const ProjectReplace::Plan &plan);

private:
    void run(int id, Plan plan, const Matcher &match, const QHash<QString, QString> &openTexts);

    std::atomic<int> current{0};
    int lastId = 0;
    QThreadPool pool; // last: its thread is waited for before the rest goes
};
