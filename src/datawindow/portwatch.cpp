// The data window's side of a device that comes back: the line that says so,
// and the receive loop started again.

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "link/lostdevicewatch.h"
#include "link/shownname.h"

void RDData::watchForLostDevice() {
    if (!portWatch_) {
        portWatch_ = new LostDeviceWatch(MSComm1, this);
        connect(portWatch_, &LostDeviceWatch::reopened, this, [this](const QString& device) {
            const int inForce = Text1->selColor();
            append(QStringLiteral(">> PORT REOPENED: ") + krt::shownName(device) +
                       QStringLiteral(" <<\r\n"),
                   colour::Black);
            Text1->setSelColor(inForce);
            setTimer1Enabled(true);
        });
    }
    portWatch_->start();
}

void RDData::stopWatchingLostDevice() {
    if (portWatch_) portWatch_->stop();
}
