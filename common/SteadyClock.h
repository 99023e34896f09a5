#pragma once

#include <QtGlobal>

#include <chrono>

// The one clock that moments on both sides of the device link are compared on: when a touch
// was written, when a frame's header arrived. Steady, so the wall clock's jumps play no part.
inline qint64 steadyMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
