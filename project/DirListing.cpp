#include "project/DirListing.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <vector>

QFileInfoList DirListing::entries(const QString &directory)
{
    const QFileInfoList found = QDir(directory).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Unsorted);

    struct Keyed
    {
        qint64 modified;
        QString name;
        int index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<size_t>(found.size()));
    for (int i = 0; i < found.size(); ++i)
        keyed.push_back({found[i].fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch(), found[i].fileName(), i});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.modified != b.modified)
            return a.modified > b.modified;
        return a.name < b.name;
    });

    QFileInfoList sorted;
    sorted.reserve(found.size());
    for (const Keyed &k : keyed)
        sorted.append(found[k.index]);
    return sorted;
}
