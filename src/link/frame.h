#pragma once
// The wire format to the KRT 418: frames, checksums, frame images and the
// command table. Every sending path takes its payloads and titles from here.

#include <QByteArray>
#include <QString>
#include <array>

namespace krt {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char XON = 0x11;
constexpr char XOFF = 0x13;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;

// Sum of the payload bytes modulo 256.
quint8 frameChecksum(const QByteArray& payload);
// 0x02, payload, checksum, 0x03: nothing escaped, nothing encoded.
QByteArray buildFrame(const QByteArray& payload);
// "<02>" payload "<" hex checksum without leading zero ">" "<03>", no line end.
QString frameImage(const QByteArray& payload);

// Text typed or shown in the program to bytes on the wire, one byte per
// character. A character above 0xFF has no byte of its own and goes out as '?'.
QByteArray toWire(const QString& text);
// Bytes from the wire to text, one character per byte.
inline QString fromWire(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

enum class Cmd {
    GetDate,
    MemFree,
    ViewParameters,
    NewSession,
    UploadTimes,
    UploadPrint,
    ClearMemory,
    SetDefaults,
    BuzzerOn,
    BuzzerOff,
    LockInputs,
    UnlockInputs,
    Speed9600,
    Speed19200,
    Printer0,
    Printer1,
    Printer2,
    Printer3,
    Printer4,
    RunTimeOff,
    RunTimeTenths,
    LinkPrinter,
    LinkLine,
    LinkOff,
    Count
};

struct Command {
    Cmd id;
    const char* payload;
    const char* title; // the whole title line, without line end
};

const Command& command(Cmd id);
const std::array<Command, static_cast<int>(Cmd::Count)>& commandTable();

// Titles of transmissions that use a command's frame under another name, and
// of the sends that are not frames.
namespace title {
extern const char* const PrinterMessage;
extern const char* const RunningTimeMessage;
extern const char* const SendingXon;
extern const char* const SendingXoff;
extern const char* const SendText;
extern const char* const KrtCommand;
// Lock time: prefix + value as typed + suffix of the unit.
extern const char* const LockChannel1;
extern const char* const LockChannel4;
extern const char* const LockOthers;
extern const char* const LockSecondsSuffix;
extern const char* const LockTenthsSuffix;
// Date: prefix + three fields separated by spaces + " <<".
extern const char* const StdDate;
extern const char* const UsDate;
} // namespace title

// Payload prefixes of the parameterised commands.
namespace code {
extern const char* const LockChannel1; // "PK1"
extern const char* const LockChannel4; // "PK4"
extern const char* const LockOthers;   // "PKO", a capital O
extern const char* const StdDate;      // "PD"
extern const char* const UsDate;       // "Pd"
} // namespace code

// Images of the two flow-control bytes: their decimal value.
QString flowControlImage(char byte);

} // namespace krt
