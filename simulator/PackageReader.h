#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class KeyUnwrapper;

// One file of a package as the device sees it.
struct PackageEntryData
{
    int type = 0;             // PackageEntry::Type: 0 plain file, 1 image, 5 sealed script
    QString fileName;
    QString relativePath;     // with forward slashes, relative to the project directory
    QByteArray data;          // the entry data as stored
    QByteArray content;       // the file's bytes (type 0), the script source (type 5) or the
                              // 24-bit rows, top to bottom (type 1)
    int width = 0;            // type 1
    int height = 0;           // type 1
};

struct PackageContents
{
    quint32 type = 0;
    QString name;
    QString version;
    QString description;
    QVector<PackageEntryData> entries;
    QByteArray mainScript;    // the compiled-script file stored at mainOffset
    QByteArray mainChunk;     // its Lua chunk; empty when the package holds no main script
    quint32 mainOffset = 0;
    quint32 entriesLength = 0;
};

// The device's side of the build formats: opens a package or a compiled-script file, checks it
// and returns what it holds. Every input is untrusted: each length is checked against the bytes
// that are really there and against the 100 MiB limit before anything is allocated.
class PackageReader
{
public:
    // Reads a whole `.ks` file; script keys are unwrapped with the private key (PEM).
    static Result<PackageContents> read(const QByteArray &package, const QByteArray &privateKeyPem);

    // The inner image of a package: envelope checked, cipher block decrypted with the key string
    // at the digest, zlib stream expanded, digest compared.
    static Result<QByteArray> openEnvelope(const QByteArray &package, qint64 *compressedLength = nullptr);
    // Walks an inner image: header, entries, main compiled script. On failure *contents holds
    // what was read before the first problem.
    static Status readInner(const QByteArray &inner, const KeyUnwrapper &keys, PackageContents *contents);

    // The Lua chunk of a compiled-script file (`<script>.m`).
    static Result<QByteArray> openCompiledScript(const QByteArray &file, const QByteArray &privateKeyPem);
    static Result<QByteArray> openCompiledScript(const char *file, qint64 length, const KeyUnwrapper &keys);
};
