#pragma once

#include <QFileInfoList>
#include <QString>

// The one listing order of project directories, shared by the project tree, the compiler run
// and the packer: files, directories and hidden entries, no symbolic links, no "." or "..",
// newest modification time first, equal times by name.
class DirListing
{
public:
    static QFileInfoList entries(const QString &directory);
};
