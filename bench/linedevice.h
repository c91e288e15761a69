#pragma once
// The far end of the serial line for the benchmark: a pseudo-terminal whose
// master side is written with plain blocking writes, from any thread, so the
// program under measurement sleeps in its event loop like it does on a real
// line and is woken by the bytes.

#include <QByteArray>
#include <QString>

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
    // Writes every byte, blocking while the line is full. Thread-safe as long
    // as one thread writes at a time.
    bool write(const QByteArray& bytes);
    // Bytes the program wrote to the device, without waiting.
    QByteArray readAvailable();

private:
    int master_ = -1;
    int slave_ = -1; // keeps the line alive before the program opens it
    QString path_;
};

// `count` device lines of 30 characters, each followed by a carriage return,
// numbered from `first`: what the device sends when it uploads its times.
QByteArray deviceLines(int count, int first = 0);
constexpr int kDeviceLineBytes = 31;
