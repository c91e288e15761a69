#pragma once
// The settings of the line to the KRT 418, named once.

namespace krt::line {

// The serial port component's settings text: speed in bit/s, no parity,
// 8 data bits, 1 stop bit. The device starts at 9600 bit/s.
constexpr char Settings9600[] = "9600,N,8,1";
constexpr char Settings19200[] = "19200,N,8,1";

// The device answers in lines of this many characters, padded with spaces,
// each followed by a CR.
constexpr int DeviceLineChars = 30;

// The most bytes one receive tick takes from the port: one device line with
// its CR. The receive transform spells out only the first ACK and NAK of a
// read and gives only its first CR a line feed, so a larger read would let
// two answers share one read and a raw ACK reach the data field.
constexpr int InputLengthBytes = DeviceLineChars + 1;

// Pauses of the manual window's message sequences, in milliseconds: after
// the link frame, after the message text, and after the closing frame
// ("LX") of a running-time message or of a printer message.
constexpr int MessagePauseMs = 100;
constexpr int RunningTimeEndPauseMs = 100;
constexpr int PrinterEndPauseMs = 10;

// The environment variable that names the device of port n is this prefix
// followed by n ("KRT418_COM1").
constexpr char PortEnvironmentPrefix[] = "KRT418_COM";

} // namespace krt::line
