#include "figures.h"

#include "linedevice.h"
#include "procstats.h"

#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

int scaled(int amount, const BenchOptions& options) {
    return std::max(1, int(amount * options.scale));
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU time of the calling thread, in seconds.
double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The data window on the line, shown as the operator has it after start-up
// ("Auto Scroll" ticked), or null when the port did not open.
RDData* openDataWindow(const LineDevice& line) {
    if (!line.isValid()) {
        std::fprintf(stderr, "no pseudo-terminal for the line\n");
        return nullptr;
    }
    line.attachAs(1);
    RDData* w = RDData::instance();
    w->show();
    runEventLoopFor(300);
    if (!w->MSComm1->portOpen() || !w->scroll->isChecked()) {
        std::fprintf(stderr, "the data window did not open %s\n", qPrintable(line.path()));
        return nullptr;
    }
    return w;
}

// Runs the event loop until the field holds at least n characters. Returns
// the moment it did (taken inside the change notification), or nothing on
// timeout.
std::optional<Clock::time_point> waitForLength(RichTextField* field, int n, int timeoutMs) {
    if (field->length() >= n) return Clock::now();
    std::optional<Clock::time_point> reached;
    QEventLoop loop;
    const auto watch = QObject::connect(field, &RichTextField::changed, &loop, [&] {
        if (!reached && field->length() >= n) {
            reached = Clock::now();
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(watch);
    return reached;
}

// Runs the event loop until the predicate holds, checking it every
// millisecond; false after the timeout.
template <typename Predicate> bool waitUntil(Predicate predicate, int timeoutMs = 30000) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (predicate()) loop.quit();
    });
    check.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!predicate()) loop.exec();
    return predicate();
}

// Sends the bytes from a thread of their own, as fast as the line takes
// them, and runs the event loop until the field holds them all. Returns the
// seconds from the first write to the last text in the field.
std::optional<double> feed(LineDevice& line, RichTextField* field, const QByteArray& bytes,
                           int timeoutMs = 300000) {
    const int expected = field->length() + int(bytes.size());
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> reached;
    {
        LineWriter writer(line, bytes);
        reached = waitForLength(field, expected, timeoutMs);
    }
    if (!reached) {
        std::fprintf(stderr, "the field took %d of %d characters in time\n",
                     field->length() - (expected - int(bytes.size())), int(bytes.size()));
        return std::nullopt;
    }
    return secondsBetween(start, *reached);
}

// Size of the data field in the data window as it opens, so the plain
// baselines draw the same area.
QSize dataFieldSize() {
    LineDevice line;
    RDData* w = openDataWindow(line);
    const QSize size = w ? w->Text1->size() : QSize(400, 300);
    if (w) w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return size;
}

} // namespace

void printFigure(const char* name, double value, const char* unit, int decimals) {
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

int figureReceive(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    const QByteArray stream = deviceLines(scaled(64000, options)); // about 2 MB
    const double cpuBefore = threadCpuSeconds();
    const auto seconds = feed(line, w->Text1, stream);
    const double cpu = threadCpuSeconds() - cpuBefore;
    if (!seconds) return 1;
    printFigure("receive_chars_per_s", stream.size() / *seconds, "chars/s", 0);
    // The same per second of the user-interface thread's own CPU time: what
    // the rate would be with a core to itself, on a machine busy with other work.
    printFigure("receive_chars_per_cpu_s", stream.size() / cpu, "chars/s", 0);
    return 0;
}

int figureRawAppend(const BenchOptions& options) {
    const QSize size = dataFieldSize();
    QPlainTextEdit edit;
    edit.resize(size);
    edit.show();
    runEventLoopFor(300);

    // The very chunks the receive loop would take and append.
    const QByteArray stream = deviceLines(scaled(64000, options));
    QStringList chunks;
    for (qsizetype at = 0; at < stream.size(); at += kDeviceLineBytes)
        chunks << transformChunk(stream.mid(at, kDeviceLineBytes));

    const double cpuBefore = threadCpuSeconds();
    const Clock::time_point start = Clock::now();
    for (const QString& chunk : chunks) {
        edit.moveCursor(QTextCursor::End);
        edit.insertPlainText(chunk);
    }
    QCoreApplication::processEvents(); // the one repaint at the end
    const double seconds = secondsBetween(start, Clock::now());
    const double cpu = threadCpuSeconds() - cpuBefore;
    printFigure("raw_append_chars_per_s", stream.size() / seconds, "chars/s", 0);
    printFigure("raw_append_chars_per_cpu_s", stream.size() / cpu, "chars/s", 0);
    return 0;
}

namespace {

// The cost of 1,000 device lines appended through the receive loop. The lines
// are first let into the port's receive buffer with the loop held, so what is
// timed is the loop's and the field's work, not the pty's pace.
std::optional<double> appendCost(LineDevice& line, RDData* w, const QByteArray& bytes) {
    RichTextField* field = w->Text1;
    const int before = field->length();
    w->setTimer1Enabled(false);
    bool buffered;
    {
        LineWriter writer(line, bytes);
        buffered = waitUntil([&] { return w->MSComm1->bytesWaiting() >= bytes.size(); });
    }
    if (!buffered) return std::nullopt;
    // Done when the loop has taken the last byte: checked on each change
    // without asking the field its length, which would add to what is measured.
    std::optional<Clock::time_point> reached;
    QEventLoop loop;
    QObject::connect(field, &RichTextField::changed, &loop, [&] {
        if (!reached && w->MSComm1->bytesWaiting() == 0) {
            reached = Clock::now();
            loop.quit();
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    // The user-interface thread's CPU time: the one thread at work here, and
    // unlike the wall clock not stretched by other programs on a busy machine.
    const double cpuBefore = threadCpuSeconds();
    w->setTimer1Enabled(true);
    loop.exec();
    const double cpu = threadCpuSeconds() - cpuBefore;
    if (!reached || field->length() != before + int(bytes.size())) return std::nullopt;
    runEventLoopFor(20); // let the last repaint go by before the next round
    return cpu;
}

constexpr int kCostRounds = 15;
constexpr int kWarmUpRounds = 2;

} // namespace

int figureGrowth(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    RichTextField* field = w->Text1;
    int next = 0;
    const auto lines = [&](int count) {
        const QByteArray bytes = deviceLines(count, next);
        next += count;
        return bytes;
    };

    // At 1,000 lines: each round is cut back again, so every one starts from
    // the same field; the first rounds only warm up.
    if (!feed(line, field, lines(1000))) return 1;
    const QString small = field->text();
    std::vector<double> rounds;
    for (int r = 0; r < kWarmUpRounds + kCostRounds; ++r) {
        const auto cpu = appendCost(line, w, lines(1000));
        if (!cpu) return 1;
        if (r >= kWarmUpRounds) rounds.push_back(*cpu);
        field->setText(small); // the same field again, in one colour
    }
    const double costSmall = median(rounds);

    const int grow = scaled(200000, options);
    runEventLoopFor(100);
    const std::int64_t rssBefore = residentBytes();
    for (int done = 0; done < grow; done += 2000)
        if (!feed(line, field, lines(std::min(2000, grow - done)))) return 1;
    runEventLoopFor(100);
    const std::int64_t rssAfter = residentBytes();

    // At 200,000 lines the rounds follow one another, as a growing log has
    // them (cutting back would leave the heap as growth never does); the
    // field grows by under 8 % meanwhile.
    rounds.clear();
    for (int r = 0; r < kCostRounds; ++r) {
        const auto cpu = appendCost(line, w, lines(1000));
        if (!cpu) return 1;
        rounds.push_back(*cpu);
    }
    const double costLarge = median(rounds);
    printFigure("append_cost_ms_1k", costSmall * 1000, "ms", 2);
    printFigure("append_cost_ms_200k", costLarge * 1000, "ms", 2);
    printFigure("append_cost_ratio_200k_vs_1k", costLarge / costSmall, "x", 2);
    printFigure("memory_bytes_per_line", double(rssAfter - rssBefore) / grow, "bytes", 0);
    return 0;
}

int figurePlainMemory(const BenchOptions& options) {
    const QSize size = dataFieldSize();
    QPlainTextEdit edit;
    edit.resize(size);
    edit.show();
    runEventLoopFor(300);
    int next = 0;
    const auto lines = [&](int count) {
        const QByteArray bytes = deviceLines(count, next);
        next += count;
        return bytes;
    };
    const QByteArray first = lines(1000);
    for (qsizetype at = 0; at < first.size(); at += kDeviceLineBytes)
        edit.appendPlainText(QString::fromLatin1(first.mid(at, kDeviceLineBytes - 1)));
    runEventLoopFor(100);

    const int grow = scaled(200000, options);
    const std::int64_t rssBefore = residentBytes();
    for (int done = 0; done < grow; done += 2000) {
        const QByteArray bytes = lines(std::min(2000, grow - done));
        for (qsizetype at = 0; at < bytes.size(); at += kDeviceLineBytes)
            edit.appendPlainText(QString::fromLatin1(bytes.mid(at, kDeviceLineBytes - 1)));
        QCoreApplication::processEvents();
    }
    runEventLoopFor(100);
    const std::int64_t rssAfter = residentBytes();

    printFigure("memory_bytes_per_line_plain", double(rssAfter - rssBefore) / grow, "bytes", 0);
    return 0;
}

namespace {
double cpuPercentOver(int seconds) {
    const double cpuBefore = cpuSeconds();
    const Clock::time_point start = Clock::now();
    runEventLoopFor(seconds * 1000);
    const double wall = secondsBetween(start, Clock::now());
    return (cpuSeconds() - cpuBefore) / wall * 100.0;
}
} // namespace

int figureIdle(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    runEventLoopFor(1000); // let start-up painting settle
    printFigure("idle_cpu_percent", cpuPercentOver(options.idleSeconds), "%", 3);
    return 0;
}

int figureBusyTimer(const BenchOptions& options) {
    // The same idle window with a 1 ms timer that finds nothing to do: what
    // a polling receive loop would cost.
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    runEventLoopFor(1000);
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [] {});
    poll.start();
    printFigure("idle_cpu_percent_polling_1ms",
                cpuPercentOver(std::max(1, options.idleSeconds / 2)), "%", 3);
    return 0;
}

int figureLatency(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    RichTextField* field = w->Text1;
    const int samples = std::max(100, scaled(1000, options));
    const int base = field->length();

    std::mutex mutex;
    std::condition_variable arrivedChanged;
    int arrived = 0;
    bool abandon = false;
    std::atomic<Clock::rep> sentAt{0};
    std::vector<double> latencies;
    latencies.reserve(samples);

    // The device answers at random moments, each time one line of 30
    // characters and a carriage return in one write.
    std::thread device([&] {
        std::mt19937 random(418);
        std::uniform_int_distribution<int> pauseUs(1000, 5000);
        for (int i = 0; i < samples; ++i) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                arrivedChanged.wait(lock, [&] { return arrived == i || abandon; });
                if (abandon) return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
            const QByteArray bytes = deviceLines(1, i);
            sentAt = Clock::now().time_since_epoch().count();
            line.write(bytes);
        }
    });

    QEventLoop loop;
    QObject::connect(field, &RichTextField::changed, &loop, [&] {
        int done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = arrived;
        }
        if (done >= samples || field->length() < base + (done + 1) * kDeviceLineBytes) return;
        const Clock::time_point sent{Clock::duration(sentAt.load())};
        latencies.push_back(secondsBetween(sent, Clock::now()) * 1000.0);
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++arrived;
        }
        arrivedChanged.notify_one();
        if (done + 1 == samples) loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandon = true;
    }
    arrivedChanged.notify_one();
    device.join();
    if (int(latencies.size()) < samples) {
        std::fprintf(stderr, "only %d of %d samples arrived\n", int(latencies.size()), samples);
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        const size_t i = size_t(q * double(latencies.size()) + 0.999999) - 1;
        return latencies[std::min(i, latencies.size() - 1)];
    };
    printFigure("latency_ms_p50", at(0.50), "ms", 3);
    printFigure("latency_ms_p99", at(0.99), "ms", 3);
    printFigure("latency_ms_max", latencies.back(), "ms", 3);
    return 0;
}

namespace {

// Paint events of a widget, with the moment of the last one.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    std::optional<Clock::time_point> last;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) last = Clock::now();
        return false;
    }
};

struct FloodRound {
    double cpuSeconds;   // process CPU, the writing thread's taken away
    double shownSeconds; // first write to the paint that shows the last line
};

// Device lines written as fast as the line takes them, until the last is in
// the field and painted.
std::optional<FloodRound> floodRound(const QByteArray& stream) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return std::nullopt;
    PaintWatch paints(w->Text1->viewport());
    const int expected = w->Text1->length() + int(stream.size());
    const double cpuBefore = cpuSeconds();
    const Clock::time_point start = Clock::now();
    LineWriter writer(line, stream);
    const auto in = waitForLength(w->Text1, expected, 120000);
    const bool painted = in && waitUntil([&] { return paints.last && *paints.last > *in; }, 5000);
    const Clock::time_point shown = paints.last.value_or(Clock::now());
    writer.stop();
    const double cpu = cpuSeconds() - cpuBefore - writer.cpuSeconds();
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!painted) {
        std::fprintf(stderr, "the last line was not shown in time\n");
        return std::nullopt;
    }
    return FloodRound{cpu, secondsBetween(start, shown)};
}

} // namespace

int figureFlood(const BenchOptions& options) {
    const QByteArray stream = deviceLines(scaled(2 * 1024 * 1024 / kDeviceLineBytes, options));
    std::vector<double> cpu, shown;
    for (int round = 0; round < 3; ++round) {
        const auto r = floodRound(stream);
        if (!r) return 1;
        cpu.push_back(r->cpuSeconds);
        shown.push_back(r->shownSeconds);
    }
    const double mib = double(stream.size()) / (1024 * 1024);
    printFigure("flood_cpu_s_per_mib", median(cpu) / mib, "s", 3);
    printFigure("flood_shown_s_2mib", median(shown) * 2 / mib, "s", 3);
    return 0;
}

int figurePaced(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    runEventLoopFor(1000);
    const int seconds = std::max(1, int(20 * options.scale + 0.5));
    const double cpuBefore = cpuSeconds();
    const Clock::time_point start = Clock::now();
    PacedLineWriter writer(line, 200);
    runEventLoopFor(seconds * 1000);
    writer.stop();
    const double wall = secondsBetween(start, Clock::now());
    const double cpu = cpuSeconds() - cpuBefore - writer.cpuSeconds();
    printFigure("paced_200_lines_cpu_percent", cpu / wall * 100, "%", 2);
    return 0;
}

int figureLongLine(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    QByteArray text(scaled(2000000, options), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    const auto seconds = feed(line, w->Text1, text);
    if (!seconds) return 1;
    printFigure("long_line_chars_per_s", text.size() / *seconds, "chars/s", 0);
    return 0;
}

int figureFloodMemory(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    RichTextField* field = w->Text1;
    // What the field's text costs per character, measured on 1 MiB of lines.
    if (!feed(line, field, deviceLines(1000))) return 1;
    runEventLoopFor(100);
    int length = field->length();
    std::int64_t rss = residentBytes();
    if (!feed(line, field, deviceLines(1024 * 1024 / kDeviceLineBytes, 1000))) return 1;
    runEventLoopFor(100);
    const double bytesPerChar = double(residentBytes() - rss) / (field->length() - length);

    const QByteArray flood = deviceLines(scaled(50000000 / kDeviceLineBytes, options), 40000);
    length = field->length();
    rss = residentBytes();
    double peak = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const double fieldBytes = (field->length() - length) * bytesPerChar;
        peak = std::max(peak, double(residentBytes() - rss) - fieldBytes);
    });
    sample.start(10);
    if (!feed(line, field, flood)) return 1;
    printFigure("flood_excess_rss_mib", peak / (1024 * 1024), "MiB", 1);
    printFigure("field_bytes_per_char", bytesPerChar, "bytes", 1);
    return 0;
}

int figureClick(const BenchOptions&) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    w->activateWindow();
    if (!waitUntil([&] { return QApplication::activeWindow() == w; }, 5000)) {
        std::fprintf(stderr, "the data window did not become active\n");
        return 1;
    }
    int clicks = 0;
    QObject::connect(w->Command5, &QPushButton::clicked, [&] { ++clicks; });
    PacedLineWriter writer(line, 31);
    runEventLoopFor(500);
    const QPoint centre = w->Command5->rect().center();
    for (int i = 0; i < 10; ++i) {
        QTest::mousePress(w->Command5, Qt::LeftButton, {}, centre);
        runEventLoopFor(100);
        QTest::mouseRelease(w->Command5, Qt::LeftButton, {}, centre);
        runEventLoopFor(150);
    }
    printFigure("click_during_flood", clicks, "of 10", 0);
    return 0;
}
