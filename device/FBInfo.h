#pragma once

#include <QMetaType>
#include <QtGlobal>

// The 64-byte description of a screen frame: 16 little-endian int32 fields. The device fills
// the unnamed (reserved) ones; the IDE carries them without reading them.
struct FBInfo
{
    static constexpr int kSize = 64;

    qint32 reserved0 = 0;
    qint32 bitsPerPixel = 0;
    qint32 dataSize = 0; // pixel bytes after the frame record
    qint32 width = 0;
    qint32 height = 0;
    qint32 reserved5 = 0;
    qint32 reserved6 = 0;
    qint32 reserved7 = 0;
    qint32 channelOrder = 0; // 0 or 24: red and blue are exchanged
    qint32 reserved9 = 0;
    qint32 reserved10 = 0;
    qint32 reserved11 = 0;
    qint32 reserved12 = 0;
    qint32 reserved13 = 0;
    qint32 reserved14 = 0;
    qint32 reserved15 = 0;

    void toBytes(char *bytes) const;
    static FBInfo fromBytes(const char *bytes);

    // Registers the type under the name "FBInfo" for queued signals; may be called repeatedly.
    static void registerMetaType();
};

Q_DECLARE_METATYPE(FBInfo)
