#include "editor/ScriptWords.h"

#include <QSet>

#include <algorithm>

namespace {

bool isWordByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

} // namespace

ScriptWords ScriptWords::of(const char *text, qint64 length)
{
    QSet<QByteArray> seenWords;
    QSet<QByteArray> seenPairs;
    QVector<QByteArray> found;
    QVector<QByteArray> foundPairs;
    QByteArray previous; // the word just before a separator, while one is open
    const char *end = text + length;
    for (const char *p = text; p < end;) {
        if (!isWordByte(*p)) {
            // A name, then "." or ":", then a name: the second follows the first.
            if ((*p == '.' || *p == ':') && !previous.isEmpty() && p + 1 < end && isWordByte(p[1])) {
                ++p;
                continue;
            }
            previous.clear();
            ++p;
            continue;
        }
        const char *start = p;
        while (p < end && isWordByte(*p))
            ++p;
        const QByteArray word(start, int(p - start));
        const bool numeric = std::all_of(start, p, [](char c) { return c >= '0' && c <= '9'; });
        if (numeric) {
            previous.clear();
            continue;
        }
        // A name of one letter is no word to complete, but what follows it may be.
        if (word.size() > 1 && found.size() < kMaxWords && !seenWords.contains(word)) {
            seenWords.insert(word);
            found.append(word);
        }
        const bool follows = !previous.isEmpty() && start > text && (start[-1] == '.' || start[-1] == ':');
        if (follows && foundPairs.size() < kMaxWords) {
            const QByteArray pair = previous + '.' + word;
            if (!seenPairs.contains(pair)) {
                seenPairs.insert(pair);
                foundPairs.append(pair);
            }
        }
        previous = word;
    }

    ScriptWords made;
    made.words.reserve(found.size());
    for (const QByteArray &word : qAsConst(found)) {
        const QString text = QString::fromLatin1(word);
        made.words.append({text.toLower(), text});
    }
    made.pairs.reserve(foundPairs.size());
    for (const QByteArray &pair : qAsConst(foundPairs)) {
        const QString text = QString::fromLatin1(pair);
        made.pairs.append({text.toLower(), text.mid(text.indexOf(QLatin1Char('.')) + 1)});
    }
    const auto byFolded = [](const Word &a, const Word &b) { return a.folded < b.folded; };
    std::sort(made.words.begin(), made.words.end(), byFolded);
    std::sort(made.pairs.begin(), made.pairs.end(), byFolded);
    return made;
}

QStringList ScriptWords::lookup(const QVector<Word> &list, const QString &folded)
{
    QStringList matches;
    auto it = std::lower_bound(list.begin(), list.end(), folded,
                               [](const Word &w, const QString &key) { return w.folded < key; });
    for (; it != list.end() && it->folded.startsWith(folded); ++it)
        matches << it->word;
    matches.sort();
    return matches;
}

QStringList ScriptWords::startingWith(const QString &prefix, const QString &after) const
{
    if (after.isEmpty())
        return lookup(words, prefix.toLower());
    return lookup(pairs, (after + QLatin1Char('.') + prefix).toLower());
}
