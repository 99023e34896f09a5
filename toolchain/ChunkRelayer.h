#pragma once

#include "common/Result.h"
#include "toolchain/ChunkWalker.h"

#include <QByteArray>

// Re-lays a Lua 5.2 precompiled chunk, as the stock dump writes it on this machine, into the
// layout the device runtime reads: a 32-bit little-endian Lua 5.2 (4-byte size_t) with the debug
// information stripped (no source name, line information, local or upvalue names). The result
// is what a stock 32-bit `luac -s` writes for the same script.
//
// It is a visitor of the chunk walker, so the dump is re-laid as it is written, a piece at a
// time, and the unstripped chunk is never held in memory.
class ChunkRelayer : public ChunkWalker::Visitor
{
public:
    explicit ChunkRelayer(QByteArray *out);
    void field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length) override;

    // The 18 header bytes of the 32-bit layout.
    static QByteArray header32() { return ChunkWalker::header(4); }
    // Re-lays a whole chunk held in memory. Fails when the input is not exactly one well-formed
    // little-endian Lua 5.2 chunk with 4- or 8-byte size_t.
    static Result<QByteArray> relay(const char *chunk, qint64 length);
    static Result<QByteArray> relay(const QByteArray &chunk) { return relay(chunk.constData(), chunk.size()); }

private:
    void writeInt(qint64 value);

    QByteArray *out;
};
