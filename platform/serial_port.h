// The serial port of the link: a "COM<n>" name resolved to a Linux device, opened exclusively in
// raw 8N1 without flow control, and reads and writes that wait on the port and a stop event
// together, so a link thread blocks in one poll and can always be stopped.
#pragma once

#include <cstdint>
#include <string>

#include "platform/event.h"

namespace platform {

struct SerialPortObject;
using SerialPortHandle = SerialPortObject*;

// Results of the waiting reads and writes besides a byte count.
inline constexpr int kPortStopped = -1;  // the stop event was set
inline constexpr int kPortHungUp = -2;   // the device went away (unplugged, pty master closed)

// The device path for a port name "COM<n>": the environment variable KVXMON_COM<n> when set,
// else COM1..COM4 are /dev/ttyS0..3 and COM5..COM8 the 1st..4th USB serial adapter (the sorted
// entries of /dev/serial/by-id/, or without that folder /dev/ttyUSB0, /dev/ttyUSB1, /dev/ttyACM0,
// /dev/ttyACM1). A name with a '/' in it is a path and stands for itself. Empty when the name
// maps to nothing.
std::string ResolveSerialPortName(const char* name);

// The port a user names on a command line, in the form OpenSerialPort takes: "COM3", "com3" and
// "3" are COM3; anything else is the system's own name for a port (on Linux a device path, where
// a bare name is taken in the current folder; on Windows a device name such as "\\.\COM12").
// Empty for an empty text.
std::string SerialPortNameOf(const char* text);

// Opens and configures the port; nullptr when it does not exist, another holder has it or it
// refuses the settings, with *error (when given) set to the system's reason: ENOENT also for a
// name that maps to nothing, EWOULDBLOCK or EBUSY for a port in use, ENOTTY for something that
// is not a terminal. Pending bytes of an earlier user are discarded.
SerialPortHandle OpenSerialPort(const char* name, int baud, int32_t* error = nullptr);

// Why the last OpenSerialPort on the calling thread failed, where the user can do something about
// it: the device node refused this user for lack of permission. group names the group that owns
// the node (its number when it has no name), in plain ASCII; groupMayUse is false when that
// group has no read and write permission either, so joining it would not help.
struct SerialAccessDenial {
    bool denied;
    bool groupMayUse;
    char group[64];
};
SerialAccessDenial LastSerialAccessDenial();

// Tests, which run as root where no device refuses anyone: when a hook is set it sees each device
// path before the open, and a non-zero result refuses the open with that system error code, as
// the kernel would (EACCES: no permission).
using SerialOpenHook = int32_t (*)(const char* path);
void SetSerialOpenHook(SerialOpenHook hook);

// Restores the line settings found at open and releases the port. nullptr is ignored.
void CloseSerialPort(SerialPortHandle port);

// Reader side. Waits until bytes arrive and returns how many were read (1..capacity), or
// kPortStopped, or kPortHungUp once the device has gone.
int ReadSerialPort(SerialPortHandle port, uint8_t* buffer, int capacity, EventHandle stop);
// After a hang-up: opens the same device path again and puts it in place of the lost one under
// the same descriptor, so a concurrent writer never sees a closed or reused descriptor. True when
// the device is back and configured.
bool ReopenSerialPort(SerialPortHandle port);

// Writer side. Writes all bytes, waiting for room in the output queue as needed. Returns count,
// kPortStopped (output not yet sent is discarded) or kPortHungUp (the bytes are lost).
int WriteSerialPort(SerialPortHandle port, const uint8_t* bytes, int count, EventHandle stop);

// Waits until the line has sent what was written to it, up to timeoutMs; false when bytes are
// still queued then. For a program that writes a command and then closes the port.
bool WaitSerialOutputSent(SerialPortHandle port, int timeoutMs);

// Raw 8N1 line setup on an open terminal descriptor, for tools that own their descriptor
// (the simulator). False when the descriptor is not a terminal or refuses the settings.
bool ConfigureRawLine(int fd, int baud);

}  // namespace platform
