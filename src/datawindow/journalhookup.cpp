// The data window's journal: the session journal and record fed by the
// data field's insertions, the bytes of the line and the port's events,
// its failures told in the field.

#include "datawindow/rddata.h"
#include "link/linesettings.h"
#include "link/serialportcomponent.h"
#include "link/sessionclock.h"
#include "logview/colours.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"
#include "session/journal.h"

#include <QCoreApplication>

namespace {
QString deviceOf(const SerialPortComponent* port) {
    return QString::fromLocal8Bit(port->deviceForPort(port->commPort()));
}
} // namespace

void RDData::startJournal(const krt::JournalOptions& options) {
    if (!options.enabled) return;
    auto* journal = new Journal(options, QDateTime::fromMSecsSinceEpoch(clock_->startMs()), this);
    journal_ = journal;
    // The window opens COM1 at 9600 bit/s first.
    journal->setRecordHeader(1, QString::fromLocal8Bit(MSComm1->deviceForPort(1)),
                             QLatin1String(krt::line::Settings9600),
                             QCoreApplication::applicationVersion(), clock_->startMs());
    RichTextField* field = Text1;
    connect(field, &RichTextField::textInserted, journal, &Journal::addField);
    // A whole new text: only what it adds to the old one is new ("Clear"
    // adds nothing; start-up's error lines add themselves).
    connect(field, &RichTextField::aboutToSetText, journal,
            [this, journal, field](const QString& text) {
                if (text.isEmpty()) return;
                const QString before = field->text();
                journal->addField(text.startsWith(before) ? text.mid(before.size()) : text,
                                  colour::Black, now());
            });
    // The port's life: a successful open after a loss is the device back.
    auto lost = std::make_shared<bool>(false);
    connect(MSComm1, &SerialPortComponent::portChanged, journal,
            [this, journal, lost](bool open, PortError error) {
                using record::PortEvent;
                const PortEvent event = !open ? PortEvent::Closed
                                        : std::exchange(*lost, false) && error == PortError::None
                                            ? PortEvent::Reopened
                                            : PortEvent::Opened;
                journal->addPort(
                    event, MSComm1->commPort(), deviceOf(MSComm1), now(), printedNumber(error),
                    error == PortError::None ? QString() : MSComm1->errorDescription());
            });
    connect(MSComm1, &SerialPortComponent::portLost, journal,
            [this, journal, lost](PortError error, const QString& description) {
                *lost = true;
                journal->addPort(record::PortEvent::Lost, MSComm1->commPort(), deviceOf(MSComm1),
                                 now(), printedNumber(error), description);
            });
    // "Quit" ends the program without unloading the data window.
    connect(qApp, &QCoreApplication::aboutToQuit, journal, &Journal::finish);
    connect(journal, &Journal::stopped, this, [this](const QString& line) {
        // A black line of its own; the colour in force stays as it was.
        appendActionLine(line + QStringLiteral("\r\n"));
    });
    journal->start();
}
