#pragma once
// The clock of a session: the wall clock read once, when the session
// starts, then a monotonic clock on from there, so times never go backwards
// and a change of the system's clock in the middle of a session reorders
// nothing. In ms since the epoch.

#include <QDateTime>
#include <QElapsedTimer>

#include <functional>

class SessionClock {
public:
    // `elapsedMs`, when given, stands for the monotonic clock (tests).
    explicit SessionClock(const QDateTime& start, std::function<qint64()> elapsedMs = {})
        : anchor_(start.toMSecsSinceEpoch()), elapsed_(std::move(elapsedMs)) {
        since_.start();
    }
    qint64 nowMs() const { return anchor_ + (elapsed_ ? elapsed_() : since_.elapsed()); }
    qint64 startMs() const { return anchor_; }

private:
    qint64 anchor_;
    std::function<qint64()> elapsed_;
    QElapsedTimer since_;
};
