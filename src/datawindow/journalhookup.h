#pragma once
// The data window's journal: the session journal and record fed by the
// data field's insertions, the bytes of the line and the port's events;
// its failures told in the field as black lines of their own.

#include "session/options.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

class Journal;
class RDData;

class JournalHookup : public QObject {
    Q_OBJECT
public:
    // Starts the journal of the window's session (nothing when the options
    // switch it off); `startMs` is when the session's clock started.
    JournalHookup(const krt::JournalOptions& options, qint64 startMs, RDData* window);

    // What the field does not tell by itself: the bytes of the line and a
    // "Clear".
    void wire(bool sent, const QByteArray& bytes, qint64 timeMs);
    void cleared(qint64 timeMs);
    // The end of the session: the rest is written.
    void finish();

private:
    void followPort(RDData* window);
    QPointer<Journal> journal_;
};
