#include "simulator/SimEventLog.h"

#include "common/SteadyClock.h"

Status SimEventLog::open(const QString &path)
{
    if (path.isEmpty())
        return Status();
    file = std::make_unique<AtomicFile>(path);
    if (const Status opened = file->open(); !opened) {
        file.reset();
        return opened;
    }
    return Status();
}

void SimEventLog::record(const QString &what)
{
    if (!file || !writes)
        return;
    const QByteArray line = QByteArray::number(steadyMicros()) + ' ' + what.toUtf8() + '\n';
    writes = file->write(line.constData(), line.size());
}

Status SimEventLog::close()
{
    if (!file)
        return writes;
    const Status written = writes ? file->commit() : writes;
    file.reset();
    return written;
}

SimEventLog::~SimEventLog()
{
    if (const Status closed = close(); !closed)
        qWarning("kestrun-device-sim: the events were not written: %s", qPrintable(closed.error()));
}
