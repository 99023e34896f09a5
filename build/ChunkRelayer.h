#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Re-lays a Lua 5.2 precompiled chunk, as the stock dump writes it on this machine, into the
// layout the device runtime reads: a 32-bit little-endian Lua 5.2 (4-byte size_t) with the debug
// information stripped (no source name, line information, local or upvalue names). The result
// is what a stock 32-bit `luac -s` writes for the same script.
//
// The input is parsed as untrusted bytes: every count and length is checked against what is
// left, and nesting is bounded.
class ChunkRelayer
{
public:
    static constexpr int HeaderLength = 18;
    // Deeper than the compiler itself can nest functions.
    static constexpr int MaxNesting = 250;

    // The 18 header bytes of the 32-bit layout.
    static QByteArray header32();
    // True and the re-laid chunk in *out; false and a message when the input is not a whole,
    // well-formed little-endian Lua 5.2 chunk with 4- or 8-byte size_t.
    static bool relay(const char *chunk, qint64 length, QByteArray *out, QString *error);
    static bool relay(const QByteArray &chunk, QByteArray *out, QString *error)
    {
        return relay(chunk.constData(), chunk.size(), out, error);
    }
};
