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
// takes them; stop() (or the destructor) gives up what is left and waits for
// the thread.
class LineWriter {
public:
    LineWriter(LineDevice& line, QByteArray bytes);
    ~LineWriter() { stop(); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void stop();
    // CPU time the writing thread took, known once it has stopped: the bench
    // takes it away from the process's own.
    double cpuSeconds() const { return cpuSeconds_; }

protected:
    // For writers of their own pace: runs `write` on the thread instead.
    template <typename Write> explicit LineWriter(Write write) { start(write); }
    std::atomic<bool> abandon_{false};

private:
    template <typename Write> void start(Write write) {
        thread_ = std::thread([this, write] {
            write();
            cpuSeconds_ = threadCpuSeconds();
        });
    }
    static double threadCpuSeconds();

    std::atomic<double> cpuSeconds_{0.0};
    std::thread thread_;
};

// Writes one device line after another at a steady rate until stopped.
class PacedLineWriter : public LineWriter {
public:
    PacedLineWriter(LineDevice& line, double linesPerSecond);
};

// Writes the same chunk again and again at a steady rate until stopped: a
// device sending a line that never ends.
class PacedChunkWriter : public LineWriter {
public:
    PacedChunkWriter(LineDevice& line, QByteArray chunk, double chunksPerSecond);
};

// `count` device lines of 30 characters, each followed by a carriage return,
// numbered from `first`: what the device sends when it uploads its times.
QByteArray deviceLines(int count, int first = 0);
constexpr int kDeviceLineBytes = 31;
