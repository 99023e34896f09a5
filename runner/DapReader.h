#pragma once

#include <QByteArray>
#include <QString>

// The framing of the Debug Adapter Protocol: header lines ("Content-Length: N" among them), an
// empty line, then N bytes of JSON. The bytes come from a client and are untrusted: the header is
// bounded and the length checked against a hard cap before anything is kept for the body.
class DapReader
{
public:
    static constexpr int kMaxHeader = 1024;
    static constexpr qint64 kMaxBody = 4 << 20;

    enum class State { NeedMore, Error, Consumed };

    // Looks at the front of bytes: a whole message there is taken out into *body (Consumed); a
    // part of one is left for more (NeedMore); Error says why in *why.
    static State read(QByteArray *bytes, QByteArray *body, QString *why);
    // A message framed for sending.
    static QByteArray frame(const QByteArray &body);
};
