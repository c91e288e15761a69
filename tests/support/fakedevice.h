#pragma once
// The far end of a serial line for tests: a pseudo-terminal whose slave
// path the program opens as its COM port.

#include <QByteArray>
#include <QString>

class FakeDevice {
public:
    FakeDevice();
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    bool isValid() const { return master_ >= 0; }
    // The device path to give the program (KRT418_COM1 and the like).
    QString path() const { return path_; }
    // Points KRT418_COM<port> at this device.
    void attachAs(int port) const;

    // Device to program: writes every byte, waiting while the line is full.
    // The event loop keeps running meanwhile, so the program can read.
    bool write(const QByteArray& bytes);
    // Program to device: every byte written so far and not read yet.
    QByteArray readAll();
    // Waits (running the event loop) until at least n bytes have been
    // written by the program, or the timeout passes; returns them all.
    QByteArray readAtLeast(int n, int timeoutMs = 3000);
    // Runs the event loop a little and tells whether the program wrote nothing.
    bool staysQuiet(int ms = 100);

    // Closes the far end, as when the cable is pulled.
    void vanish();
    // Opens a new far end (a new path) after vanish().
    bool reopen();

private:
    int master_ = -1;
    int slave_ = -1; // kept open so the line exists before the program opens it
    QString path_;
};

// Points KRT418_COM<port> at a path that does not exist.
void pointPortAtNothing(int port);
