#include "linetimes.h"

#include "linedevice.h"

#include "logview/richtextfield.h"

#include <QCoreApplication>
#include <QPaintEvent>

#include <algorithm>

double percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(q * double(values.size()) + 0.999999);
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

PaintWatch::PaintWatch(QWidget* widget, Painted painted) : painted_(std::move(painted)) {
    widget->installEventFilter(this);
}

bool PaintWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || delivering_) return false;
    last = Clock::now();
    ++count;
    if (!painted_) return false;
    delivering_ = true;
    QCoreApplication::sendEvent(watched, event);
    delivering_ = false;
    painted_(static_cast<QPaintEvent*>(event)->region(), Clock::now());
    return true;
}

LineTimes::LineTimes(RichTextField* field, int count)
    : field_(field), base_(field->length()), count_(count),
      sent_(new std::atomic<Clock::rep>[size_t(count)]()),
      paints_(field->viewport(),
              [this](const QRegion& region, Clock::time_point done) { painted(region, done); }) {
    textAt_.reserve(size_t(count));
    shownAt_.reserve(size_t(count));
    QObject::connect(field, &RichTextField::changed, &context_, [this] { textIn(); });
}

void LineTimes::sending(int i) {
    sent_[size_t(i)] = Clock::now().time_since_epoch().count();
}

void LineTimes::textIn() {
    const Clock::time_point now = Clock::now();
    while (inField() < count_ &&
           field_->length() >= base_ + qsizetype(inField() + 1) * kDeviceLineBytes)
        textAt_.push_back(now);
}

void LineTimes::painted(const QRegion& region, Clock::time_point done) {
    const int in = inField();
    if (in <= shown()) return;
    const qsizetype newest = base_ + qsizetype(in - 1) * kDeviceLineBytes;
    if (!region.intersects(field_->characterRect(newest))) return;
    while (shown() < in)
        shownAt_.push_back(done);
    if (onShown) onShown();
}

std::vector<double> LineTimes::msFromSent(const std::vector<Clock::time_point>& at) const {
    std::vector<double> ms;
    ms.reserve(at.size());
    for (size_t i = 0; i < at.size(); ++i) {
        const Clock::time_point sent{Clock::duration(sent_[i].load())};
        ms.push_back(std::chrono::duration<double, std::milli>(at[i] - sent).count());
    }
    return ms;
}
