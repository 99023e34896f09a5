#pragma once

#include "common/Result.h"

#include <QString>
#include <QVector>

// The one listing of project directories, shared by the project tree, the compiler run and the
// packer: files, directories and hidden entries; no symbolic links, no "." or "..".
class DirListing
{
public:
    struct Entry
    {
        QString directory;
        QString name;
        bool isDir = false;
        qint64 modified = 0; // ms since the epoch; filled by entries() and sortNewestFirst()
        qint64 size = 0;     // bytes; filled with modified

        QString path() const { return directory + QLatin1Char('/') + name; }
    };

    // Every entry in listing order: newest modification time first, equal times by name. Fails
    // when the directory cannot be read, or when an entry's name is not valid UTF-8 (such a name
    // would not lead back to its file), so that nothing is left out unsaid.
    static Result<QVector<Entry>> list(const QString &directory);
    // What can be listed, in listing order; an unreadable directory gives nothing.
    static QVector<Entry> entries(const QString &directory);
    // Names and kinds only, in no particular order. Costs no per-entry file status, so passes
    // that only look for what changed stay cheap on large projects.
    static QVector<Entry> scan(const QString &directory);
    // Reads modification times and sizes, then sorts into listing order.
    static void sortNewestFirst(QVector<Entry> &entries);
    // The directory's own modification time in ns since the epoch, which changes whenever an
    // entry is added, removed or renamed in it; -1 when it cannot be read. A stamp within
    // kSettleNs of now may still change within the same clock tick and is not to be trusted.
    static qint64 changeStamp(const QString &directory);
    static constexpr qint64 kSettleNs = 2000000000;
};
