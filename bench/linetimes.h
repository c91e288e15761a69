#pragma once
// Watching the data field from outside: its paints, and for device lines
// when each was written, when its text was in the field and when the view
// showed it.

#include <QObject>
#include <QRegion>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;
class RichTextField;

using Clock = std::chrono::steady_clock;

// The value that a share q of the values do not exceed (nearest rank); 0
// for none.
double percentile(std::vector<double> values, double q);

// Paint events of a widget, with the moment of the last one. Given a
// function, it also delivers each paint itself, so it knows when the paint
// is done, and tells the function what was painted and when it was done.
class PaintWatch : public QObject {
public:
    using Painted = std::function<void(const QRegion& region, Clock::time_point done)>;
    explicit PaintWatch(QWidget* widget, Painted painted = {});
    std::optional<Clock::time_point> last; // when the last paint began
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Painted painted_;
    bool delivering_ = false;
};

// Device lines (kDeviceLineBytes each) through the field, in the order they
// come, from its length at construction. A line counts as shown by the
// first paint, once its text is in, that draws the newest line of the field:
// a line that came and scrolled on between two paints was shown no later
// than that. A paint elsewhere (the caret's) shows nothing.
class LineTimes {
public:
    LineTimes(RichTextField* field, int count);
    LineTimes(const LineTimes&) = delete;
    LineTimes& operator=(const LineTimes&) = delete;

    // From the device's thread, just before it writes line i.
    void sending(int i);
    int inField() const { return int(textAt_.size()); }
    int shown() const { return int(shownAt_.size()); }
    // Called after each paint that showed lines.
    std::function<void()> onShown;

    // Milliseconds from each line's write to its text in the field, and to
    // its paint done.
    std::vector<double> msToText() const { return msFromSent(textAt_); }
    std::vector<double> msToShown() const { return msFromSent(shownAt_); }

private:
    void textIn();
    void painted(const QRegion& region, Clock::time_point done);
    std::vector<double> msFromSent(const std::vector<Clock::time_point>& at) const;

    RichTextField* field_;
    qsizetype base_;
    int count_;
    std::unique_ptr<std::atomic<Clock::rep>[]> sent_;
    std::vector<Clock::time_point> textAt_, shownAt_;
    QObject context_;
    PaintWatch paints_;
};
