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

const std::array<Command, static_cast<int>(Cmd::Count)> kCommands = {{
    {Cmd::GetDate, "QD", ">> GET DATE <<", "GetDate"},
    {Cmd::MemFree, "QM", ">> MEMORY FREE <<", "MemFree"},
    {Cmd::ViewParameters, "QP", ">> VIEW PARAMETERS <<", "ViewP"},
    {Cmd::NewSession, "CS", ">> NEW SESSION <<", "NewSession"},
    {Cmd::UploadTimes, "CU", ">> UPLOAD TIMES <<", "UploadTimes"},
    {Cmd::UploadPrint, "CA", ">> UPLOAD TIMES & PRINT <<", "UploadPrint"},
    {Cmd::ClearMemory, "CC", ">> CLEAR MEMORY <<", "ClearMemory"},
    {Cmd::SetDefaults, "CD", ">> SET DEFAULTS <<", "SetDefaults"},
    {Cmd::BuzzerOn, "PB", ">> BUZZER ON <<", "buzzer"},
    {Cmd::BuzzerOff, "Pb", ">> BUZZER OFF <<", "buzzer"},
    {Cmd::LockInputs, "Pe", ">> LOCK INPUT 5-16 <<", "lockinput"},
    {Cmd::UnlockInputs, "PE", ">> UNLOCK INPUT 5-16 <<", "lockinput"},
    {Cmd::Speed9600, "PC", ">> PC SPEED 9600 bds <<", "Command2"},
    {Cmd::Speed19200, "Pc", ">> PC SPEED 19200 bds <<", "Command2"},
    {Cmd::Printer0, "PP0", ">> SET PRINTER : S <<", "WaccuracyP"},
    {Cmd::Printer1, "PP1", ">> SET PRINTER : 1/10 S <<", "WaccuracyP"},
    {Cmd::Printer2, "PP2", ">> SET PRINTER : 1/100 S <<", "WaccuracyP"},
    {Cmd::Printer3, "PP3", ">> SET PRINTER : 1/1'000 S <<", "WaccuracyP"},
    {Cmd::Printer4, "PP4", ">> SET PRINTER : 1/10'000 S <<", "WaccuracyP"},
    {Cmd::RunTimeOff, "Pl", ">> SET RUN SELECTION : OFF <<", "WaccuracyR"},
    {Cmd::RunTimeTenths, "PL", ">> SET RUN SELECTION : 1/10 S <<", "WaccuracyR"},
    {Cmd::LinkPrinter, "LP", ">> LINK PRINTER <<", "ManualWindow"},
    {Cmd::LinkLine, "LL", ">> LINK LINE <<", "ManualWindow"},
    {Cmd::LinkOff, "LX", ">> LINK OFF <<", "ManualWindow"},
}};

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
