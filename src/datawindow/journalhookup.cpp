// The data window's journal: the session journal fed by the data field's
// insertions, its failures told in the field.

#include "datawindow/rddata.h"
#include "link/sessionclock.h"
#include "logview/colours.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"
#include "session/journal.h"

#include <QCoreApplication>

void RDData::startJournal(const krt::JournalOptions& options) {
    if (!options.enabled) return;
    auto* journal = new Journal(options, QDateTime::fromMSecsSinceEpoch(clock_->startMs()), this);
    journal_ = journal;
    RichTextField* field = Text1;
    connect(field, &RichTextField::selTextInserted, journal, &Journal::add);
    // A whole new text: only what it adds to the old one is new ("Clear"
    // adds nothing; start-up's error lines add themselves).
    connect(field, &RichTextField::aboutToSetText, journal, [journal, field](const QString& text) {
        if (text.isEmpty()) return;
        const QString before = field->text();
        journal->add(text.startsWith(before) ? text.mid(before.size()) : text);
    });
    // "Quit" ends the program without unloading the data window.
    connect(qApp, &QCoreApplication::aboutToQuit, journal, &Journal::finish);
    connect(journal, &Journal::stopped, this, [this](const QString& line) {
        // A black line of its own; the colour in force stays as it was.
        appendActionLine(line + QStringLiteral("\r\n"));
    });
    journal->start();
}
