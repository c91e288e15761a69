// The data window's side of a device that comes back: the line that says so,
// and the receive loop started again.

#include "datawindow/rddata.h"
#include "link/lostdevicewatch.h"
#include "link/portbinding.h"
#include "link/serialportcomponent.h"
#include "link/shownname.h"
#include "logview/colours.h"
#include "logview/richtextfield.h"

void RDData::watchForLostDevice() {
    if (!portWatch_) {
        portWatch_ = new LostDeviceWatch(MSComm1, this);
        connect(portWatch_, &LostDeviceWatch::reopened, this, [this](const QString& device) {
            const int inForce = Text1->selColor();
            // What the operator bound (a stable name, a link), then the node
            // it leads to now when that is another name.
            const QString bound = ports_->binding(MSComm1->commPort()).device;
            QString name = krt::shownName(bound);
            if (device != bound)
                name += QStringLiteral(" (") + krt::shownName(device) + QLatin1Char(')');
            append(QStringLiteral(">> PORT REOPENED: ") + name + QStringLiteral(" <<\r\n"),
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
