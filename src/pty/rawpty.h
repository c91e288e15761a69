#pragma once
// A raw pseudo-terminal: the line the emulator, the test support and the
// bench offer the program as its serial device.

#include <string>
#include <termios.h>

namespace krt::pty {

// Raw mode on a terminal: no echo, no line editing, no XON/XOFF taken by
// the driver, 8 data bits, no parity, one stop bit, modem lines ignored.
// A speed of 0 leaves the speed as it is. False when the settings cannot
// be read or set.
bool makeRaw(int fd, speed_t speed = 0);

struct Pair {
    int master = -1;  // the device's end
    int slave = -1;   // kept open so the line exists before the program opens it
    std::string path; // the slave's path, for the program
};

// A new pseudo-terminal with both ends raw and the master non-blocking.
// On failure both descriptors are -1 and errno tells why.
Pair openRaw(speed_t speed = 0);

} // namespace krt::pty
