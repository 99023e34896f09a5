#pragma once

#include "common/AtomicFile.h"

#include <memory>

// The simulated device's record of what happened when, for tests that must prove an order:
// one line per touch, key and frame, "<steady clock, microseconds> <what>", written into the
// file when the device stops.
//   <t> press <x> <y>       a touch press arrived
//   <t> release             a touch release arrived
//   <t> key-press <code>    a key press arrived (key-release likewise)
//   <t> frame <stamp>       the frame sent with that stamp (FBInfo fields 9 and 10) was captured
class SimEventLog
{
public:
    // An empty path keeps no record.
    Status open(const QString &path);
    void record(const QString &what);
    // Writes the record into place; also done when the log is destroyed.
    Status close();
    ~SimEventLog();

private:
    std::unique_ptr<AtomicFile> file;
    Status writes; // failed once a write failed
};
