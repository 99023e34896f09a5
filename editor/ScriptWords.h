#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

// The words of a script that word completion offers beside the API: its names (ASCII letters,
// digits and underscores, not digits alone) and, for completion after "a." or "a:", the names
// that follow another name and a dot or a colon. Made from a snapshot of the text off the
// interface thread, so typing never waits for a search through the whole script; looked up by
// prefix, in any case, for every key typed while the list is open.
class ScriptWords
{
public:
    // At most this many distinct words (and as many pairs) are kept.
    static constexpr int kMaxWords = 100000;

    static ScriptWords of(const char *text, qint64 length);

    // The words that start with prefix, ignoring case, sorted; after is the name in front of the
    // dot or colon before the prefix, empty when there is none.
    QStringList startingWith(const QString &prefix, const QString &after = QString()) const;
    bool isEmpty() const { return words.isEmpty(); }

private:
    struct Word
    {
        QString folded; // what lookups compare: lower case, "after.word" for a pair
        QString word;
    };
    static QStringList lookup(const QVector<Word> &list, const QString &folded);

    QVector<Word> words;
    QVector<Word> pairs;
};

Q_DECLARE_METATYPE(ScriptWords)
