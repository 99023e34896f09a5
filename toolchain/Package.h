#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// The packer: turns a project directory into the package `<project name>.ks`. The package is an
// envelope (32 bytes) and a cipher block of the zlib stream of the inner image: a 416-byte
// header, one entry per file of the project (images as 24-bit rows, scripts sealed, the rest
// unchanged) and the compiled main script. The device runtime reads these bytes.
class Package : public QObject
{
    Q_OBJECT

public:
    // Receives the progress lines of a build ("正在打包[...]", "[...]打开失败...，跳过...").
    using Progress = std::function<void(const QString &line)>;

    static constexpr quint32 EnvelopeMagic = 0x534B4E45; // "ENKS"
    static constexpr int EnvelopeLength = 32;
    static constexpr quint32 HeaderMagic = 0xBBCCAADD;
    static constexpr int HeaderLength = 416;
    static constexpr int EntryHeaderLength = 252;
    static constexpr quint32 ScriptHeaderMagic = 0x11223ABC;
    static constexpr int ScriptHeaderLength = 144;
    static constexpr int ImageHeaderLength = 12;
    static constexpr int NameWidth = 60;
    static constexpr int VersionWidth = 20;
    static constexpr int DescriptionWidth = 300;
    static constexpr int FileNameWidth = 40;
    static constexpr int RelativePathWidth = 200;
    // The inner image never grows beyond this (the scratch file's length).
    static constexpr qint64 MaxInnerLength = 104857600;

    enum EntryType { PlainFile = 0, Image = 1, SealedScript = 5 };

    // Where packDirectory writes: the inner image being assembled, `used` bytes of `capacity`.
    struct InnerImage
    {
        char *data = nullptr;
        qint64 used = 0;
        qint64 capacity = 0;
    };

    // Packs the project directory into <projectDirectory>/<name>.ks and returns the length of the
    // compressed inner image; or -1 with a message, leaving any earlier package as it was. The
    // scratch file <name>.o exists only while the build runs.
    static int build(const QString &projectDirectory, const QString &name, const QString &version,
                     const QString &description, const QByteArray &mainScript, int type,
                     QString *error, const Progress &progress = Progress());

    // Appends the entries of one directory tree to the image and counts them. Returns the bytes
    // appended, or -1 with a message.
    static qint64 packDirectory(const QString &directory, const QString &projectDirectory, InnerImage &image,
                                quint32 &entryCount, QString *error, const Progress &progress = Progress());

    // Reads a bitmap file; false when it cannot be opened.
    static bool loadBitmap(const QString &path, QByteArray *bitmap);
    // The length of the image entry data of a bitmap (12-byte header and 24-bit rows), or -1 with
    // a message when the bytes are not a usable bitmap.
    static qint64 imageDataLength(const QByteArray &bitmap, QString *error);
    // Writes the image entry data of a bitmap: width, height, 24, then the rows top to bottom,
    // three bytes a pixel (blue, green, red), no row padding. 24- and 32-bit bitmaps are copied
    // byte for byte (the fourth byte of a 32-bit pixel dropped); other depths and compressed
    // bitmaps are decoded first. Returns the bytes written, or -1 with a message.
    static qint64 bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity, QString *error);
    static QByteArray bitmapToRows(const QByteArray &bitmap, QString *error);
};
