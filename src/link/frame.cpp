#include "link/frame.h"

namespace krt {

quint8 frameChecksum(const QByteArray& payload) {
    unsigned sum = 0;
    for (char c : payload)
        sum += static_cast<unsigned char>(c);
    return static_cast<quint8>(sum % 256);
}

QByteArray buildFrame(const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(payload.size() + 3);
    frame.append(STX);
    frame.append(payload);
    frame.append(static_cast<char>(frameChecksum(payload)));
    frame.append(ETX);
    return frame;
}

QString frameImage(const QByteArray& payload) {
    return QStringLiteral("<02>") + fromWire(payload) + QLatin1Char('<') +
           QString::number(frameChecksum(payload), 16).toUpper() + QStringLiteral("><03>");
}

QByteArray toWire(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        bytes[i] = u <= 0xFF ? static_cast<char>(u) : '?';
    }
    return bytes;
}

QString flowControlImage(char byte) {
    return QLatin1Char('<') + QString::number(static_cast<unsigned char>(byte)) + QLatin1Char('>');
}

namespace {

// One row per command, in the order of Cmd: the compiler refuses a row out
// of its place (see below), so an id always finds its own bytes.
constexpr std::array<Command, static_cast<int>(Cmd::Count)> kCommands = {{
    {Cmd::GetDate, "QD", ">> GET DATE <<"},
    {Cmd::MemFree, "QM", ">> MEMORY FREE <<"},
    {Cmd::ViewParameters, "QP", ">> VIEW PARAMETERS <<"},
    {Cmd::NewSession, "CS", ">> NEW SESSION <<"},
    {Cmd::UploadTimes, "CU", ">> UPLOAD TIMES <<"},
    {Cmd::UploadPrint, "CA", ">> UPLOAD TIMES & PRINT <<"},
    {Cmd::ClearMemory, "CC", ">> CLEAR MEMORY <<"},
    {Cmd::SetDefaults, "CD", ">> SET DEFAULTS <<"},
    {Cmd::BuzzerOn, "PB", ">> BUZZER ON <<"},
    {Cmd::BuzzerOff, "Pb", ">> BUZZER OFF <<"},
    {Cmd::LockInputs, "Pe", ">> LOCK INPUT 5-16 <<"},
    {Cmd::UnlockInputs, "PE", ">> UNLOCK INPUT 5-16 <<"},
    {Cmd::Speed9600, "PC", ">> PC SPEED 9600 bds <<"},
    {Cmd::Speed19200, "Pc", ">> PC SPEED 19200 bds <<"},
    {Cmd::Printer0, "PP0", ">> SET PRINTER : S <<"},
    {Cmd::Printer1, "PP1", ">> SET PRINTER : 1/10 S <<"},
    {Cmd::Printer2, "PP2", ">> SET PRINTER : 1/100 S <<"},
    {Cmd::Printer3, "PP3", ">> SET PRINTER : 1/1'000 S <<"},
    {Cmd::Printer4, "PP4", ">> SET PRINTER : 1/10'000 S <<"},
    {Cmd::RunTimeOff, "Pl", ">> SET RUN SELECTION : OFF <<"},
    {Cmd::RunTimeTenths, "PL", ">> SET RUN SELECTION : 1/10 S <<"},
    {Cmd::LinkPrinter, "LP", ">> LINK PRINTER <<"},
    {Cmd::LinkLine, "LL", ">> LINK LINE <<"},
    {Cmd::LinkOff, "LX", ">> LINK OFF <<"},
}};

constexpr bool rowsInOrderOfCmd() {
    for (std::size_t i = 0; i < kCommands.size(); ++i)
        if (static_cast<std::size_t>(kCommands[i].id) != i) return false;
    return true;
}
static_assert(rowsInOrderOfCmd(), "kCommands must have one row per Cmd, in the order of Cmd");

} // namespace

const std::array<Command, static_cast<int>(Cmd::Count)>& commandTable() {
    return kCommands;
}

const Command& command(Cmd id) {
    return kCommands[static_cast<std::size_t>(id)];
}

namespace title {
const char* const PrinterMessage = ">> PRINTER MESSAGE <<";
const char* const RunningTimeMessage = ">> RUNNING TIME MESSAGE <<";
const char* const SendingXon = ">> SENDING XON <<";
const char* const SendingXoff = ">> SENDING XOFF <<";
const char* const SendText = ">> SEND TEXT <<";
const char* const KrtCommand = ">> KRT COMMAND <<";
const char* const LockChannel1 = ">> LOCK CHANNEL 1 ";
const char* const LockChannel4 = ">> LOCK CHANNEL 4 ";
const char* const LockOthers = ">> LOCK OTHERS CHANNELS ";
const char* const LockSecondsSuffix = " SEC. <<";
const char* const LockTenthsSuffix = "/10 SEC. <<";
const char* const StdDate = ">> SET STD DATE TO ";
const char* const UsDate = ">> SET US DATE TO ";
} // namespace title

namespace code {
const char* const LockChannel1 = "PK1";
const char* const LockChannel4 = "PK4";
const char* const LockOthers = "PKO";
const char* const StdDate = "PD";
const char* const UsDate = "Pd";
} // namespace code

} // namespace krt
