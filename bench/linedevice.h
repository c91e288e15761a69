#pragma once
// The far end of the serial line for the benchmark: a pseudo-terminal whose
// master side is written with plain blocking writes, from any thread, so the
// program under measurement sleeps in its event loop like it does on a real
// line and is woken by the bytes.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

class LineDevice {
public:
    LineDevice();
    ~LineDevice();
    LineDevice(const LineDevice&) = delete;
    LineDevice& operator=(const LineDevice&) = delete;

    bool isValid() const { return master_ >= 0; }
    QString path() const { return path_; }
    // Points KRT418_COM<port> at this line.
    void attachAs(int port) const;
    // Writes every byte, waiting while the line is full, until done or until
    // `abandon` is set. One thread writes at a time.
    bool write(const QByteArray& bytes, const std::atomic<bool>* abandon = nullptr);
    // Bytes the program wrote to the device, without waiting.
    QByteArray readAvailable();

private:
    int master_ = -1;
    int slave_ = -1; // keeps the line alive before the program opens it
    QString path_;
};

// Writes bytes to the line from a thread of its own, as fast as the line
// takes them; the destructor gives up what is left and waits for the thread.
class LineWriter {
public:
    LineWriter(LineDevice& line, QByteArray bytes)
        : thread_([this, &line, b = std::move(bytes)] { line.write(b, &abandon_); }) {}
    ~LineWriter() {
        abandon_ = true;
        thread_.join();
    }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

private:
    std::atomic<bool> abandon_{false};
    std::thread thread_;
};

// `count` device lines of 30 characters, each followed by a carriage return,
// numbered from `first`: what the device sends when it uploads its times.
QByteArray deviceLines(int count, int first = 0);
constexpr int kDeviceLineBytes = 31;
