#include "logview/paintscheduler.h"

#include <algorithm>

namespace {
// Every line is on screen within a tenth of a second, and a stream costs a
// dozen paints a second, not one a line.
constexpr qint64 kIntervalMs = 80;
// A change that no later one brings to the screen is painted this long after
// it came: past the interval, so a stream still paints once an interval.
constexpr qint64 kFallbackMs = kIntervalMs + 15;
constexpr qint64 kBarsIntervalMs = 250;
} // namespace

qint64 PaintCadence::intervalMs() {
    return kIntervalMs;
}
qint64 PaintCadence::fallbackMs() {
    return kFallbackMs;
}
qint64 PaintCadence::barsIntervalMs() {
    return kBarsIntervalMs;
}

qint64 PaintCadence::changed(qint64 now) {
    // One after the interval is painted in the wake-up that brought it; one
    // before it waits for the next change after the interval, which paints
    // it without a wake-up of its own, or for the fallback.
    const qint64 since = lastPaint_ ? now - *lastPaint_ : kIntervalMs;
    if (since >= kIntervalMs)
        due_ = now;
    else if (!due_)
        due_ = now + std::max(kIntervalMs - since, kFallbackMs);
    return *due_;
}

void PaintCadence::painted(qint64 now) {
    lastPaint_ = now;
    due_.reset();
}

bool PaintCadence::barsFollowNow(qint64 now) const {
    return !lastBars_ || now - *lastBars_ >= kBarsIntervalMs;
}

qint64 PaintCadence::barsDue(qint64 now) const {
    // The last lines of a flow get no paint after them: the bars follow them
    // a fallback after their interval.
    return lastBars_ ? *lastBars_ + kBarsIntervalMs + kFallbackMs : now;
}

PaintScheduler::PaintScheduler(QObject* parent) : QObject(parent) {
    clock_.start();
    paint_.setSingleShot(true);
    paint_.setTimerType(Qt::PreciseTimer);
    connect(&paint_, &QTimer::timeout, this, &PaintScheduler::paintDue);
    bars_.setSingleShot(true);
    connect(&bars_, &QTimer::timeout, this, &PaintScheduler::barsDue);
}

void PaintScheduler::changed() {
    const qint64 wait = std::max<qint64>(0, cadence_.changed(now()) - now());
    if (!paint_.isActive() || paint_.remainingTime() > wait) paint_.start(int(wait));
}

void PaintScheduler::painted() {
    paint_.stop();
    cadence_.painted(now());
}

void PaintScheduler::dropped() {
    paint_.stop();
    cadence_.dropped();
}

bool PaintScheduler::barsAtPaint() {
    if (cadence_.barsFollowNow(now())) return true;
    if (!bars_.isActive()) bars_.start(int(std::max<qint64>(0, cadence_.barsDue(now()) - now())));
    return false;
}

void PaintScheduler::barsFollowed() {
    bars_.stop();
    cadence_.barsFollowed(now());
}
