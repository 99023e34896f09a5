#include "device/SocketReceive.h"

#include <QDeadlineTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#endif

#include <climits>

qint64 SocketReceive::arrived(qintptr socket, char *buffer, qint64 size, int waitMs)
{
#ifdef Q_OS_WIN
    // The socket must stay non-blocking for its notifier: what is missing is polled for.
    const SOCKET s = SOCKET(socket);
    const QDeadlineTimer deadline(qMax(waitMs, 0));
    qint64 got = 0;
    for (;;) {
        const int n = ::recv(s, buffer + got, int(qMin<qint64>(size - got, INT_MAX)), 0);
        if (n > 0)
            got += n;
        if (n == 0 || got == size || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) || deadline.hasExpired())
            return got;
        WSAPOLLFD readable = {s, POLLRDNORM, 0};
        if (WSAPoll(&readable, 1, int(deadline.remainingTime())) <= 0)
            return got;
    }
#else
    const int fd = int(socket);
    const size_t want = size_t(qMin<qint64>(size, SSIZE_MAX));
    const ssize_t now = ::recv(fd, buffer, want, MSG_DONTWAIT);
    const size_t got = size_t(qMax<ssize_t>(now, 0));
    if (now == 0 || got == want || waitMs <= 0 || (now < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
        return qint64(got); // all there, closed, failed, or not to be waited for
    // The rest is waited for in one blocking read with a time limit: the kernel wakes it as
    // pieces arrive, without a poll and a failed read for each of them. The socket is
    // non-blocking again before anything else can use it.
    const int flags = ::fcntl(fd, F_GETFL);
    const timeval limit = {waitMs / 1000, (waitMs % 1000) * 1000};
    if (flags < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0
        || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return qint64(got);
    const ssize_t rest = ::recv(fd, buffer + got, want - got, MSG_WAITALL);
    ::fcntl(fd, F_SETFL, flags);
    return qint64(got) + qMax<ssize_t>(rest, 0);
#endif
}
