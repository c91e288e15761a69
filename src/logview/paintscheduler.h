#pragma once
// When the data field paints. A change after a quiet spell is painted at
// once; while changes keep coming, the field is painted at most once an
// interval, and every change is on screen within the fallback; the scroll
// bars follow a few times a second. The rule (PaintCadence) is a function of
// times alone, so a test runs it on a clock of its own; PaintScheduler keeps
// the timers that carry it out.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

class PaintCadence {
public:
    // The figures of the cadence, in ms; they live in paintscheduler.cpp.
    static qint64 intervalMs();
    static qint64 fallbackMs();
    static qint64 barsIntervalMs();

    // A change at `now`: the time by which it is painted. A change after the
    // interval is painted now, even when an earlier one was set to wait.
    qint64 changed(qint64 now);
    // The view was painted at `now`: nothing waits any more.
    void painted(qint64 now);
    // Nothing was painted (the window is minimised): nothing waits either.
    void dropped() { due_.reset(); }
    std::optional<qint64> due() const { return due_; }

    // At a paint with the scroll bars behind: whether they follow now; if
    // not, the time at which they do.
    bool barsFollowNow(qint64 now) const;
    qint64 barsDue(qint64 now) const;
    void barsFollowed(qint64 now) { lastBars_ = now; }

private:
    std::optional<qint64> lastPaint_;
    std::optional<qint64> due_;
    std::optional<qint64> lastBars_;
};

class PaintScheduler : public QObject {
    Q_OBJECT
public:
    explicit PaintScheduler(QObject* parent = nullptr);

    // Something waits to be painted.
    void changed();
    // A paint pass begins (paintDue came) or was given up.
    void painted();
    void dropped();
    bool paintWaiting() const { return paint_.isActive(); }

    // At a paint with the scroll bars behind: true when they follow now,
    // else barsDue comes later.
    bool barsAtPaint();
    void barsFollowed();

signals:
    void paintDue();
    void barsDue();

private:
    qint64 now() const { return clock_.elapsed(); }

    PaintCadence cadence_;
    QElapsedTimer clock_;
    QTimer paint_;
    QTimer bars_;
};
