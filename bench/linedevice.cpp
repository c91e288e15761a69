#include "linedevice.h"

#include "link/portbinding.h"
#include "pty/rawpty.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

LineDevice::LineDevice() {
    const krt::pty::Pair pty = krt::pty::openRaw();
    master_ = pty.master;
    slave_ = pty.slave;
    if (master_ < 0) return;
    path_ = QString::fromLocal8Bit(pty.path.c_str());
}

LineDevice::~LineDevice() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

void LineDevice::attachAs(int port) const {
    qputenv(krt::environmentName(port).constData(), path_.toLocal8Bit());
}

bool LineDevice::write(const QByteArray& bytes, const std::atomic<bool>* abandon) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (abandon && *abandon) return false;
        // Wait for room a little at a time, so an abandoned write ends.
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
    }
    return true;
}

QByteArray LineDevice::readAvailable() {
    QByteArray all;
    char buffer[4096];
    pollfd p{master_, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        all.append(buffer, n);
    }
    return all;
}

QByteArray deviceLines(int count, int first) {
    QByteArray out;
    out.reserve(qsizetype(count) * kDeviceLineBytes);
    char line[64];
    for (int i = first; i < first + count; ++i) {
        const int ms = i * 137;
        std::snprintf(line, sizeof line, "T%06d IN%02d %02d:%02d:%02d.%03d", i % 1000000,
                      1 + i % 16, (ms / 3600000) % 24, (ms / 60000) % 60, (ms / 1000) % 60,
                      ms % 1000);
        QByteArray l(line);
        l = l.leftJustified(30, ' ', true);
        out += l;
        out += '\r';
    }
    return out;
}

LineWriter::LineWriter(LineDevice& line, QByteArray bytes) {
    start([this, &line, b = std::move(bytes)] { line.write(b, &abandon_); });
}

void LineWriter::stop() {
    abandon_ = true;
    if (thread_.joinable()) thread_.join();
}

double LineWriter::threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

PacedLineWriter::PacedLineWriter(LineDevice& line, double linesPerSecond)
    : LineWriter([this, &line, linesPerSecond] {
          using Clock = std::chrono::steady_clock;
          const auto period = std::chrono::duration_cast<Clock::duration>(
              std::chrono::duration<double>(1.0 / linesPerSecond));
          auto next = Clock::now();
          for (int i = 0; !abandon_; ++i) {
              line.write(deviceLines(1, i), &abandon_);
              next += period;
              std::this_thread::sleep_until(next);
          }
      }) {}

PacedChunkWriter::PacedChunkWriter(LineDevice& line, QByteArray chunk, double chunksPerSecond)
    : LineWriter([this, &line, chunk, chunksPerSecond] {
          using Clock = std::chrono::steady_clock;
          const auto period = std::chrono::duration_cast<Clock::duration>(
              std::chrono::duration<double>(1.0 / chunksPerSecond));
          auto next = Clock::now();
          while (!abandon_) {
              line.write(chunk, &abandon_);
              next += period;
              std::this_thread::sleep_until(next);
          }
      }) {}
