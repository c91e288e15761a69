#include "pty/rawpty.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace krt::pty {

bool makeRaw(int fd, speed_t speed) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (speed != 0) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

Pair openRaw(speed_t speed) {
    Pair p;
    char name[256] = {};
    if (::openpty(&p.master, &p.slave, name, nullptr, nullptr) != 0) {
        p.master = p.slave = -1;
        return p;
    }
    makeRaw(p.slave, speed);
    makeRaw(p.master, speed);
    ::fcntl(p.master, F_SETFL, ::fcntl(p.master, F_GETFL) | O_NONBLOCK);
    p.path = name;
    return p;
}

} // namespace krt::pty
