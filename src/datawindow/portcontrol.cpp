// Port and link control of the data window: port choice, XON/XOFF, line
// speed and "Close".

#include "datawindow/rddata.h"
#include "datawindow/wrappedlines.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"

#include <QPushButton>
#include <QTimer>

namespace {
// Closing keeps what the port had received and not yet handed out; it goes
// into the field before the re-open, in the receive loop's own chunks.
void takeInReceived(RDData* w) {
    while (w->MSComm1->bytesWaiting() > 0)
        w->Timer1_Timer();
}
} // namespace

bool RDData::portStepFailed(PortError error) {
    if (error == PortError::None || error == PortError::DeviceNotOpen) return false;
    appendPortError(error);
    // The number alone does not say which device or why: a black line does.
    appendActionLine(wrappedLines(MSComm1->errorDescription(), kHintColumns));
    return true;
}

void RDData::Option1_Click(int index) {
    // The operator's choice ends any watch for a device that went away.
    stopWatchingLostDevice();
    setTimer1Enabled(false);
    // The first error other than 8012 ends the choice: the port stays
    // closed and the receive loop stopped.
    const auto outcome = MSComm1->openPort(
        index + 1, QLatin1String(krt::line::Settings9600),
        [this](OpenStep, PortError error) { return portStepFailed(error); },
        [this] { takeInReceived(this); });
    if (outcome.error != PortError::None) return;
    setTimer1Enabled(true);
    rememberedPort = static_cast<qint16>(index + 1);
}

void RDData::Command6_Click() {
    const bool sendXon = Command6->text() != QLatin1String("Send XOFF");
    const char byte = sendXon ? krt::XON : krt::XOFF;
    Command6->setText(sendXon ? QStringLiteral("Send XOFF") : QStringLiteral("Send XON"));
    Command6->setAccessibleName(Command6->text());
    if (!send(QByteArray(1, byte))) return;
    append(QString::fromLatin1(sendXon ? krt::title::SendingXon : krt::title::SendingXoff) +
               QStringLiteral("\r\n"),
           colour::Black);
    append(krt::flowControlImage(byte) + QStringLiteral("\r\n"), colour::Red);
}

void RDData::Command2_Click() {
    const bool toSlow = Command2->text() != QLatin1String("9600 bds");
    const krt::Command& c = krt::command(toSlow ? krt::Cmd::Speed9600 : krt::Cmd::Speed19200);
    // The speed command goes out at the old speed; a failed write is reported
    // and the switch goes on, since the port itself may still re-open.
    sendFixedCommand(QString::fromLatin1(c.title), QByteArray(c.payload));

    setTimer1Enabled(false);
    const bool toFast = Command2->text() == QLatin1String("9600 bds");
    const auto outcome = MSComm1->openPort(
        rememberedPort, QLatin1String(toFast ? krt::line::Settings19200 : krt::line::Settings9600),
        [this](OpenStep, PortError error) { return portStepFailed(error); },
        [this] { takeInReceived(this); });
    // Once the port is chosen the caption tells the speed it is set to,
    // whether or not it then opens.
    if (outcome.step == OpenStep::Open) {
        Command2->setText(toFast ? QStringLiteral("19200 bds") : QStringLiteral("9600 bds"));
        Command2->setAccessibleName(Command2->text());
    }
    if (outcome.error != PortError::None) return;
    setTimer1Enabled(true);
}

void RDData::Command1_Click() {
    // Dropping RTS fails on lines without modem control (a pseudo-terminal)
    // and on a closed port; neither must keep the window from closing.
    MSComm1->setRTSEnable(false);
    close();
}
