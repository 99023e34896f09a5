#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The packer: turns a project directory into the package `<project name>.ks`. The package is an
// envelope and a cipher block of the zlib stream of the inner image: a header, one entry per
// file of the project (images as 24-bit rows, scripts sealed, the rest unchanged) and the
// compiled main script (layouts: toolchain/BinaryLayout.h). The device runtime reads these bytes.
class Package
{
public:
    // Receives the progress lines of a build ("正在打包[...]", "[...]打开失败...，跳过...").
    using Progress = std::function<void(const QString &line)>;

    // Where packDirectory writes: the inner image being assembled, `used` bytes of `capacity`.
    struct InnerImage
    {
        char *data = nullptr;
        qint64 used = 0;
        qint64 capacity = 0;
    };

    // Packs the project directory into <projectDirectory>/<name>.ks and returns the length of the
    // compressed inner image; a failure leaves any earlier package as it was. The scratch file
    // <name>.o exists only while the build runs.
    static Result<int> build(const QString &projectDirectory, const QString &name, const QString &version,
                             const QString &description, const QByteArray &mainScript, int type,
                             const Progress &progress = Progress());

    // Appends the entries of one directory tree to the image and counts them. Returns the bytes
    // appended.
    static Result<qint64> packDirectory(const QString &directory, const QString &projectDirectory, InnerImage &image,
                                        quint32 &entryCount, const Progress &progress = Progress());
};
