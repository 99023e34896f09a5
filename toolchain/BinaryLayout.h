#pragma once

#include "common/FixedText.h"

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>

// The binary records of everything the build writes, each described once. The compiler and
// the packer write through these descriptions, the device-side readers read through them, and
// the device runtime reads the same bytes: a field never moves. Integers are unsigned 32-bit
// little-endian (a few single bytes are marked so); text fields are UTF-8, zero-terminated and
// zero-filled to their width; every byte no field names is zero.

// Where one field lies in its record.
struct Field
{
    int offset;
    int width;
};

// The inner image of a package never grows beyond this, and no reader expands a sealed block
// beyond it (100 MiB).
constexpr qint64 MaxPayloadLength = 104857600;

namespace Layout {

inline quint32 read32(const char *at)
{
    return qFromLittleEndian<quint32>(at);
}

inline void write32(char *at, quint32 value)
{
    qToLittleEndian<quint32>(value, at);
}

// An integer field: four bytes, or one for the fields of width 1.
inline quint32 read(const char *record, Field field)
{
    return field.width == 1 ? static_cast<unsigned char>(record[field.offset]) : read32(record + field.offset);
}

inline void write(char *record, Field field, quint32 value)
{
    if (field.width == 1)
        record[field.offset] = static_cast<char>(value);
    else
        write32(record + field.offset, value);
}

// A text field up to its first zero byte.
inline QByteArray readText(const char *record, Field field)
{
    return FixedText::read(record + field.offset, field.width);
}

// Writes text cut at a character boundary so that the field keeps its terminating zero.
inline void writeText(char *record, Field field, const QByteArray &utf8)
{
    FixedText::write(record + field.offset, field.width, utf8);
}

// A field of raw bytes (a digest, a wrapped key): exactly its width.
inline QByteArray readBytes(const char *record, Field field)
{
    return QByteArray(record + field.offset, field.width);
}

inline void writeBytes(char *record, Field field, const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == field.width);
    std::memcpy(record + field.offset, bytes.constData(), static_cast<size_t>(field.width));
}

} // namespace Layout

// A 31-byte header and the zlib stream of the input. The input's length is recorded by the
// container that holds the block.
struct CompressedBlock
{
    static constexpr quint32 Magic = 0x11FE44AB;
    static constexpr int HeaderLength = 31;
    static constexpr Field magic{0, 4};
    static constexpr Field headerLength{4, 1};
    static constexpr Field streamLength{12, 4};
};

// A 16-byte header and DES-ECB ciphertext of the plaintext padded to a multiple of 8 bytes.
struct CipherBlock
{
    static constexpr quint32 Magic = 0xFDABBBCC;
    static constexpr int HeaderLength = 16;
    static constexpr Field magic{0, 4};
    static constexpr Field headerLength{4, 4};
    static constexpr Field paddedLength{8, 4};
    static constexpr Field padCount{12, 4};
};

// The compiled-script file `<script>.m`: this header, then a cipher block of the compressed
// chunk under the wrapped content key.
struct CompiledScriptHeader
{
    static constexpr quint32 Magic = 0x19202038;
    static constexpr int Length = 168;
    static constexpr Field magic{0, 4};
    static constexpr Field headerLength{4, 4};
    static constexpr Field chunkLength{8, 4};
    static constexpr Field sealedLength{12, 4};
    static constexpr Field constant1{16, 4}; // always 1
    static constexpr Field constant2{20, 4}; // always 2
    static constexpr Field wrappedKeyLength{24, 4};
    static constexpr Field wrappedKey{28, 128};
};

// The package file: this envelope, then a cipher block of the zlib stream of the inner image,
// keyed with the bytes from the digest up to the first zero byte of the file.
struct PackageEnvelope
{
    static constexpr quint32 Magic = 0x534B4E45; // "ENKS"
    static constexpr int Length = 32;
    static constexpr Field magic{0, 4};
    static constexpr Field envelopeLength{4, 1};
    static constexpr Field constant2{5, 1}; // always 2
    static constexpr Field constant1{6, 1}; // always 1
    static constexpr Field innerLength{8, 4};
    static constexpr Field digest{12, 16};
    static constexpr Field innerLengthAgain{28, 4};
};

// The head of the inner image; the entries follow it, then the main compiled script.
struct PackageHeader
{
    static constexpr quint32 Magic = 0xBBCCAADD;
    static constexpr int Length = 416;
    static constexpr Field magic{0, 4};
    static constexpr Field type{8, 4};
    static constexpr Field name{12, 60};
    static constexpr Field version{72, 20};
    static constexpr Field description{92, 300};
    static constexpr Field entryCount{392, 4};
    static constexpr Field entryHeaderLength{396, 4};
    static constexpr Field entriesLength{400, 4};
    static constexpr Field firstEntryOffset{404, 4};
    static constexpr Field mainOffset{408, 4};
    static constexpr Field mainLength{412, 4};
};

// One file of the package: this header, then dataLength bytes of data.
struct PackageEntry
{
    enum Type { PlainFile = 0, Image = 1, SealedScript = 5 };

    static constexpr int HeaderLength = 252;
    static constexpr Field type{4, 4};
    static constexpr Field fileName{8, 40};
    static constexpr Field relativePath{48, 200};
    static constexpr Field dataLength{248, 4};
};

// The data of a sealed script entry begins with this header; the cipher block of the
// compressed source follows.
struct ScriptEntryHeader
{
    static constexpr quint32 Magic = 0x11223ABC;
    static constexpr int Length = 144;
    static constexpr Field magic{0, 4};
    static constexpr Field headerLength{4, 4};
    static constexpr Field sourceLength{8, 4};
    static constexpr Field wrappedKeyLength{12, 4};
    static constexpr Field wrappedKey{16, 128};
};

// The data of an image entry begins with this header; width × height × 3 bytes of rows follow.
struct ImageHeader
{
    static constexpr int Length = 12;
    static constexpr quint32 Depth = 24;
    static constexpr Field width{0, 4};
    static constexpr Field height{4, 4};
    static constexpr Field depth{8, 4};
};
