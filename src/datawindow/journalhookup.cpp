#include "datawindow/journalhookup.h"

#include "datawindow/rddata.h"
#include "link/linesettings.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"
#include "logview/richtextfield.h"
#include "session/journal.h"

#include <QCoreApplication>
#include <QDateTime>

#include <memory>
#include <utility>

namespace {
QString deviceOf(const SerialPortComponent* port) {
    return QString::fromLocal8Bit(port->deviceForPort(port->commPort()));
}
} // namespace

JournalHookup::JournalHookup(const krt::JournalOptions& options, qint64 startMs, RDData* window)
    : QObject(window) {
    if (!options.enabled) return;
    auto* journal = new Journal(options, QDateTime::fromMSecsSinceEpoch(startMs), this);
    journal_ = journal;
    // The window opens COM1 at 9600 bit/s first.
    journal->setRecordHeader(1, QString::fromLocal8Bit(window->MSComm1->deviceForPort(1)),
                             QLatin1String(krt::line::Settings9600),
                             QCoreApplication::applicationVersion(), startMs);
    RichTextField* field = window->Text1;
    connect(field, &RichTextField::textInserted, journal, &Journal::addField);
    // A whole new text: only what it adds to the old one is new ("Clear"
    // adds nothing; start-up's error lines add themselves).
    connect(field, &RichTextField::aboutToSetText, journal,
            [window, journal, field](const QString& text) {
                if (text.isEmpty()) return;
                const QString before = field->text();
                journal->addField(text.startsWith(before) ? text.mid(before.size()) : text,
                                  colour::Black, window->now());
            });
    followPort(window);
    // "Quit" ends the program without unloading the data window: the port
    // closes with it, after the journal's end.
    SerialPortComponent* port = window->MSComm1;
    connect(qApp, &QCoreApplication::aboutToQuit, journal, [window, port, journal] {
        if (port->portOpen())
            journal->addPort(record::PortEvent::Closed, port->commPort(), deviceOf(port),
                             window->now());
        journal->finish();
    });
    connect(journal, &Journal::stopped, window, [window](const QString& line) {
        // A black line of its own; the colour in force stays as it was.
        window->appendActionLine(line + QStringLiteral("\r\n"));
    });
    journal->start();
}

void JournalHookup::followPort(RDData* window) {
    SerialPortComponent* port = window->MSComm1;
    Journal* journal = journal_;
    // The port's life: a successful open after a loss is the device back.
    auto lost = std::make_shared<bool>(false);
    connect(port, &SerialPortComponent::portChanged, journal,
            [window, port, journal, lost](bool open, PortError error) {
                using record::PortEvent;
                const PortEvent event = !open ? PortEvent::Closed
                                        : std::exchange(*lost, false) && error == PortError::None
                                            ? PortEvent::Reopened
                                            : PortEvent::Opened;
                journal->addPort(event, port->commPort(), deviceOf(port), window->now(),
                                 printedNumber(error),
                                 error == PortError::None ? QString() : port->errorDescription());
            });
    connect(port, &SerialPortComponent::portLost, journal,
            [window, port, journal, lost](PortError error, const QString& description) {
                *lost = true;
                journal->addPort(record::PortEvent::Lost, port->commPort(), deviceOf(port),
                                 window->now(), printedNumber(error), description);
            });
}

void JournalHookup::wire(bool sent, const QByteArray& bytes, qint64 timeMs) {
    if (journal_) journal_->addWire(sent, bytes, timeMs);
}

void JournalHookup::cleared(qint64 timeMs) {
    if (journal_) journal_->addClear(timeMs);
}

void JournalHookup::finish() {
    if (journal_) journal_->finish();
}
