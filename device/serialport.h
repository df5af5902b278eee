#pragma once
// The one serial port of the process, its millisecond clock with the one deadline, and the
// list of serial ports. Free functions over process-wide state: only one device operation runs
// at a time, and everything but comListPorts runs on the worker thread that opened the port.
#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

// Opens the port `name`: a port name as the system lists it (ttyUSB0, COM1) or an absolute
// device path (/dev/pts/5, or a symlink to one). Exclusive. On failure prints
// "COM Error <errno>" on standard error and returns false.
bool comOpen(const char *name);

// Line settings: baud 2400..115200 from the standard table, anything else runs at 1200;
// parity 0 none, 1 odd, 2 even; stop bits 1 or 2. DTR and RTS are held off. Settings the port
// cannot take (a pseudo-terminal has no modem lines) are ignored.
void comSetup(int baud, int dataBits, int parity, int stopBits, bool hardwareFlow);

// The rate comSetup applies for a requested rate.
int comBaudFor(int requested);

// Returns at once with up to n bytes already received; otherwise waits up to ms milliseconds
// for the first byte. 0 when nothing arrived, when no port is open, or when the port has failed.
int comRead(uchar *buffer, int n, int ms);

// Writes all n bytes; returns how many went out (fewer only when the port failed or stalled).
int comWriteAll(const uchar *bytes, int n);

void comClose();

// True once the open port has failed under us (the adapter was unplugged, the far end of a
// pseudo-terminal went away). Reads and writes then return 0 at once, and every wait of the
// protocol ends instead of running to its deadline. Cleared by the next comOpen.
bool comFailed();

// The serial ports, each entry the port name, one blank and the port's description as the
// system gives it, followed by the ports announced in the port registry (see portlist.cpp);
// at most ComListMax entries. Prints "Dev %d name '%s'" for every port seen.
constexpr int ComListMax = 31;
QStringList comListPorts();

// Milliseconds from a monotonic clock, truncated to 32 bits: it wraps, so only differences
// mean anything. Setting the wall clock does not move it.
qint32 msNow();
void deadlineSet(qint32 ms);
// Time left until the deadline; 0 or less once it has passed.
qint32 deadlineLeft();

// Shifts msNow() by a fixed amount, so tests can place the 32-bit wrap inside a wait.
void msClockShiftForTesting(qint32 shiftMs);
