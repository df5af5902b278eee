#include "device/serialport.h"

#include <ctime>

namespace {
// Shifted only by tests that need the 32-bit wrap inside a wait.
qint32 clockShift = 0;
qint32 deadline = 0;
} // namespace

qint32 msNow()
{
    // CLOCK_MONOTONIC, not the wall clock: a clock set back by the user or by NTP while a
    // transfer waits must neither stretch nor cut its time-outs.
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return qint32(quint32(ms) + quint32(clockShift));
}

void deadlineSet(qint32 ms)
{
    deadline = qint32(quint32(msNow()) + quint32(ms));
}

qint32 deadlineLeft()
{
    // Unsigned subtraction, then read as signed: right across the wrap of the 32-bit count.
    return qint32(quint32(deadline) - quint32(msNow()));
}

void msClockShiftForTesting(qint32 shiftMs)
{
    clockShift = shiftMs;
}
