#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// The packer: turns a project directory into the package `<project name>.ks`. The package is an
// envelope and a cipher block of the zlib stream of the inner image: a header, one entry per
// file of the project (images as 24-bit rows, scripts sealed, the rest unchanged) and the
// compiled main script (layouts: toolchain/BinaryLayout.h). The device runtime reads these bytes.
class Package
{
public:
    // Receives the progress lines of a build ("正在打包[...]", "[...]打开失败...，跳过...").
    using Progress = std::function<void(const QString &line)>;

    // Where packDirectory appends: the inner image being assembled on a device (the scratch
    // file) from its start, never more than `capacity` bytes. Every write is checked.
    class InnerImage
    {
    public:
        InnerImage(QIODevice *device, qint64 capacity);
        qint64 used() const { return length; }
        qint64 room() const { return capacity - length; }
        Status append(const char *data, qint64 size);
        Status append(const QByteArray &bytes) { return append(bytes.constData(), bytes.size()); }
        // Rewrites bytes appended before: a length known only once its data is written.
        Status patch(qint64 offset, const QByteArray &bytes);

    private:
        QIODevice *device;
        qint64 capacity;
        qint64 length = 0;
    };

    // Packs the project directory into <projectDirectory>/<name>.ks and returns the length of the
    // compressed inner image; a failure leaves any earlier package as it was. Files go through
    // in pieces, so memory stays small whatever the project's size: the inner image is
    // assembled in a scratch file <name>.XXXXXX.o of its own, removed however the build ends,
    // and compressed from there straight into the package, so the disk holds two copies at
    // most besides the project.
    static Result<int> build(const QString &projectDirectory, const QString &name, const QString &version,
                             const QString &description, const QByteArray &mainScript, int type,
                             const Progress &progress = Progress());

    // Appends the entries of one directory tree to the image and counts them. Returns the bytes
    // appended.
    static Result<qint64> packDirectory(const QString &directory, const QString &projectDirectory, InnerImage &image,
                                        quint32 &entryCount, const Progress &progress = Progress());
};
