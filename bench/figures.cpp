#include "figures.h"

#include "linedevice.h"
#include "linetimes.h"
#include "procstats.h"

#include "datawindow/rddata.h"
#include "link/frame.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "link/wirerecord.h"
#include "logview/byteview.h"
#include "logview/colours.h"
#include "logview/fieldfind.h"
#include "logview/logfinder.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <time.h>

namespace {

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
    for (int done = 0; done < grow; done += 2000)
        if (!feed(line, field, lines(std::min(2000, grow - done)))) return 1;

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

    // At 1,000,000 lines, grown the same way, through the line. The memory a
    // line costs is the median of the resident growth over each 100,000
    // lines on the way: one measurement alone is at the mercy of the heap
    // (when it takes a new arena, when it gives one back).
    const int million = scaled(1000000, options);
    const int step = std::max(1000, million / 10);
    const Clock::time_point fillStart = Clock::now();
    std::vector<double> perLine, perLineField;
    qsizetype sampledAt = field->store().lineCount() - 1;
    std::int64_t sampledRss = residentBytes();
    qsizetype sampledWire = w->wireRecord().bytesHeld();
    for (qsizetype held = sampledAt; held < million; held = field->store().lineCount() - 1) {
        if (!feed(line, field, lines(int(std::min<qsizetype>(step / 5, million - held))))) return 1;
        if (field->store().lineCount() - 1 - sampledAt >= step) {
            // The journal writes what waits once a second: its buffer is
            // measured empty each time.
            runEventLoopFor(1100);
            const std::int64_t rss = residentBytes();
            const qsizetype now = field->store().lineCount() - 1;
            const qsizetype wire = w->wireRecord().bytesHeld();
            perLine.push_back(double(rss - sampledRss) / double(now - sampledAt));
            // The same without the wire record (its own figure is
            // wire_bytes_per_byte): the field's store, its times, the rest.
            perLineField.push_back(double(rss - sampledRss - (wire - sampledWire)) /
                                   double(now - sampledAt));
            sampledAt = now;
            sampledRss = rss;
            sampledWire = wire;
        }
    }
    printFigure("memory_bytes_per_line", median(perLine), "bytes", 0);
    printFigure("memory_bytes_per_line_without_wire", median(perLineField), "bytes", 0);
    printFigure("store_bytes_per_line",
                double(field->store().bytesHeld()) / double(field->store().lineCount()), "bytes",
                1);
    std::fprintf(stderr, "grown to %lld lines in %.1f s\n",
                 static_cast<long long>(field->store().lineCount() - 1),
                 secondsBetween(fillStart, Clock::now()));
    runEventLoopFor(100);
    rounds.clear();
    for (int r = 0; r < kCostRounds; ++r) {
        const auto cpu = appendCost(line, w, lines(1000));
        if (!cpu) return 1;
        rounds.push_back(*cpu);
    }
    const double costMillion = median(rounds);
    printFigure("append_cost_ms_1m", costMillion * 1000, "ms", 2);
    printFigure("append_cost_ratio_1m_vs_1k", costMillion / costSmall, "x", 2);
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

namespace {

void printPercentiles(const char* prefix, const std::vector<double>& ms) {
    const QByteArray name(prefix);
    printFigure((name + "_p50").constData(), percentile(ms, 0.50), "ms", 3);
    printFigure((name + "_p99").constData(), percentile(ms, 0.99), "ms", 3);
    printFigure((name + "_max").constData(), percentile(ms, 1.0), "ms", 3);
}

} // namespace

int figureLatency(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    const int samples = std::max(100, scaled(1000, options));
    LineTimes times(w->Text1, samples);
    QEventLoop loop;
    times.onShown = [&] {
        if (times.shown() >= samples) loop.quit();
    };

    // The device answers at random moments 1 to 5 ms apart, whether or not
    // the last answer is on screen yet, each time one line of 30 characters
    // and a carriage return in one write.
    std::atomic<bool> abandon{false};
    std::thread device([&] {
        std::mt19937 random(418);
        std::uniform_int_distribution<int> pauseUs(1000, 5000);
        for (int i = 0; i < samples && !abandon; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
            times.sending(i);
            line.write(deviceLines(1, i), &abandon);
        }
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    abandon = true;
    device.join();
    if (times.shown() < samples) {
        std::fprintf(stderr, "only %d of %d lines were shown (%d in the field)\n", times.shown(),
                     samples, times.inField());
        return 1;
    }
    // From the write to the paint that shows the line; and, for comparison,
    // to its text in the field.
    printPercentiles("latency_ms", times.msToShown());
    printFigure("latency_text_ms_p99", percentile(times.msToText(), 0.99), "ms", 3);
    return 0;
}

int figureFirstLineLatency(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    const int samples = std::max(5, scaled(30, options));
    LineTimes times(w->Text1, samples);
    std::mutex mutex;
    std::condition_variable shownChanged;
    int shown = 0;
    bool abandon = false;
    QEventLoop loop;
    times.onShown = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            shown = times.shown();
        }
        shownChanged.notify_one();
        if (times.shown() >= samples) loop.quit();
    };

    // The device sends one line, then keeps quiet for a second after it is
    // on screen, and so on.
    std::thread device([&] {
        for (int i = 0; i < samples; ++i) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                shownChanged.wait(lock, [&] { return shown >= i || abandon; });
                if (shownChanged.wait_for(lock, std::chrono::seconds(1), [&] { return abandon; }))
                    return;
            }
            times.sending(i);
            line.write(deviceLines(1, i));
        }
    });
    QTimer::singleShot(samples * 2000 + 30000, &loop, &QEventLoop::quit);
    loop.exec();
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandon = true;
    }
    shownChanged.notify_one();
    device.join();
    if (times.shown() < samples) {
        std::fprintf(stderr, "only %d of %d lines were shown (%d in the field)\n", times.shown(),
                     samples, times.inField());
        return 1;
    }
    printPercentiles("first_line_latency_ms", times.msToShown());
    return 0;
}

namespace {

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

namespace {

// CPU of the process, in percent of one core, while the device sends
// `linesPerSecond` lines a second for 20 s, one write each: the median of the
// one-second windows (this virtual machine's kernel now and then takes
// several times the program's own CPU for a few seconds, whatever runs), and
// the mean of them all. Nothing when the lines did not reach the field.
struct PacedCpu {
    double median;
    double mean;
};
// The device's pace: `perSecond` writes a second of device lines, or of the
// chunk given (a line that never ends); `prepare` sets the window up first.
struct Pace {
    double perSecond;
    QByteArray chunk; // empty: device lines
    std::function<void(RDData*)> prepare = {};
};
std::optional<PacedCpu> pacedCpuPercent(const Pace& pace, const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return std::nullopt;
    // The views as a first start has them (the choice is remembered).
    w->Times->setChecked(false);
    w->Bytes->setChecked(false);
    if (pace.prepare) pace.prepare(w);
    runEventLoopFor(1000);
    const int seconds = std::max(1, int(20 * options.scale + 0.5));
    const int lengthBefore = w->Text1->length();
    const Clock::time_point start = Clock::now();
    std::vector<double> windows; // process CPU seconds per wall second
    std::unique_ptr<LineWriter> paced;
    if (pace.chunk.isEmpty())
        paced = std::make_unique<PacedLineWriter>(line, pace.perSecond);
    else
        paced = std::make_unique<PacedChunkWriter>(line, pace.chunk, pace.perSecond);
    LineWriter& writer = *paced;
    for (int i = 0; i < seconds; ++i) {
        const double cpuBefore = cpuSeconds();
        const Clock::time_point from = Clock::now();
        runEventLoopFor(1000);
        windows.push_back((cpuSeconds() - cpuBefore) / secondsBetween(from, Clock::now()));
    }
    writer.stop();
    const double wall = secondsBetween(start, Clock::now());
    // The writing thread's share, steady at a steady pace, taken from each.
    const double writerShare = writer.cpuSeconds() / wall;
    const double expected =
        pace.perSecond * wall * (pace.chunk.isEmpty() ? kDeviceLineBytes : pace.chunk.size());
    if (w->Text1->length() - lengthBefore < 0.9 * expected) {
        std::fprintf(stderr, "%d of some %.0f characters reached the field\n",
                     w->Text1->length() - lengthBefore, expected);
        return std::nullopt;
    }
    double sum = 0;
    for (double& share : windows) {
        share = (share - writerShare) * 100;
        sum += share;
    }
    w->Times->setChecked(false);
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return PacedCpu{median(windows), sum / double(windows.size())};
}

void showTimes(RDData* w) {
    w->Times->setChecked(true);
}

} // namespace

int figurePaced(const BenchOptions& options) {
    const auto percent = pacedCpuPercent({200, {}}, options);
    if (!percent) return 1;
    printFigure("paced_200_lines_cpu_percent", percent->median, "%", 2);
    printFigure("paced_200_lines_cpu_percent_mean", percent->mean, "%", 2);
    // The same with the time column shown (the wire record is always kept).
    const auto timed = pacedCpuPercent({200, {}, showTimes}, options);
    if (!timed) return 1;
    printFigure("paced_200_lines_times_cpu_percent", timed->median, "%", 2);
    return 0;
}

int figurePacedSlow(const BenchOptions& options) {
    // About what a line at 9600 bit/s carries when the device uploads.
    const auto percent = pacedCpuPercent({31, {}}, options);
    if (!percent) return 1;
    printFigure("paced_31_lines_cpu_percent", percent->median, "%", 2);
    printFigure("paced_31_lines_cpu_percent_mean", percent->mean, "%", 2);
    const auto timed = pacedCpuPercent({31, {}, showTimes}, options);
    if (!timed) return 1;
    printFigure("paced_31_lines_times_cpu_percent", timed->median, "%", 2);
    return 0;
}

int figurePacedNoScroll(const BenchOptions& options) {
    const auto percent =
        pacedCpuPercent({31, {}, [](RDData* w) { w->scroll->setChecked(false); }}, options);
    if (!percent) return 1;
    printFigure("paced_31_lines_noscroll_cpu_percent", percent->median, "%", 2);
    printFigure("paced_31_lines_noscroll_cpu_percent_mean", percent->mean, "%", 2);
    return 0;
}

int figurePacedLongLine(const BenchOptions& options) {
    // 960 characters a second, the line's own pace, onto a line of 100 MB
    // that never ends.
    const qsizetype open = qsizetype(scaled(100000000, options));
    const auto percent = pacedCpuPercent({30, QByteArray(32, 'a'),
                                          [open](RDData* w) {
                                              const int previous = w->Text1->selColor();
                                              w->Text1->setSelColor(colour::Blue);
                                              w->Text1->setSelText(QString(open, QLatin1Char('a')));
                                              w->Text1->setSelColor(previous);
                                          }},
                                         options);
    if (!percent) return 1;
    printFigure("paced_long_line_cpu_percent", percent->median, "%", 2);
    printFigure("paced_long_line_cpu_percent_mean", percent->mean, "%", 2);
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
    // The same line on to 100 MB: no cost of an append may grow with it.
    QByteArray more(scaled(100000000, options) - text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < more.size(); ++i)
        more[i] = char('a' + (text.size() + i) % 26);
    const auto longer = feed(line, w->Text1, more, 1800000);
    if (!longer) return 1;
    printFigure("long_line_100mb_chars_per_s", more.size() / *longer, "chars/s", 0);
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

namespace {

// A line the device never sends, put in as the eleventh line of a large
// field so that a find has one match, near the top.
constexpr char kLineToFind[] = "ZQX-418 the line to find";

// Fills the field with `count` device lines in the device's colour, in large
// batches, as the receive loop leaves them; the eleventh is kLineToFind.
// Returns where that line starts.
qsizetype fillDirectly(RichTextField* field, int count) {
    const qsizetype lineToFind = field->length() + 10 * kDeviceLineBytes;
    const int previous = field->selColor();
    field->setSelColor(colour::Blue);
    for (int done = 0; done < count;) {
        const int batch = std::min(20000, count - done);
        QByteArray bytes = deviceLines(batch, done);
        if (done == 0)
            bytes.replace(10 * kDeviceLineBytes, kDeviceLineBytes - 1,
                          QByteArray(kLineToFind).leftJustified(kDeviceLineBytes - 1, ' '));
        field->setSelTexts(QStringList{QString::fromLatin1(bytes)});
        done += batch;
    }
    field->setSelColor(previous);
    return lineToFind;
}

double millisecondsSince(Clock::time_point start) {
    return secondsBetween(start, Clock::now()) * 1000.0;
}

} // namespace

int figureByteView(const BenchOptions& options) {
    // The wire record of a million device lines, one 31-byte read each, and
    // a command now and then: what it holds per byte, and the byte view
    // painted and searched over it.
    WireRecord record;
    const int lines = std::max(100, scaled(1000000, options));
    const QByteArray all = deviceLines(lines);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < lines; ++i) {
        if (i % 1000 == 0) record.append(WireRecord::Direction::Sent, "\x02QD\x95\x03", start + i);
        if (i == 10) {
            record.append(WireRecord::Direction::Received, QByteArray(kLineToFind), start + i);
            continue;
        }
        record.append(WireRecord::Direction::Received,
                      QByteArrayView(all).sliced(qsizetype(i) * kDeviceLineBytes, kDeviceLineBytes),
                      start + i);
    }
    printFigure("wire_bytes_per_byte", double(record.bytesHeld()) / double(record.byteCount()),
                "bytes", 2);

    ByteView view(record);
    view.resize(dataFieldSize());
    view.show();
    runEventLoopFor(300);
    PaintWatch paints(view.viewport());
    view.verticalScrollBar()->setValue(0);
    runEventLoopFor(100);
    std::vector<double> paintMs;
    for (int r = 0; r < 20; ++r) {
        const Clock::time_point at = Clock::now();
        view.viewport()->repaint();
        paintMs.push_back(millisecondsSince(at));
    }
    printFigure("paint_ms_1m_lines_bytes", median(paintMs), "ms", 3);

    // The one line to find, given in hex, found from the end.
    const QByteArray wanted(kLineToFind);
    std::vector<double> findMs;
    for (int r = 0; r < 9; ++r) {
        view.collapseTo(record.byteCount());
        runEventLoopFor(150);
        const int before = paints.count;
        const Clock::time_point at = Clock::now();
        LogFinder finder(LogFinder::Source{[&](qsizetype o) { return record.piece(o); },
                                           [&] { return record.byteCount(); }});
        finder.setBytes(*FieldFind::hexBytes(QString::fromLatin1(wanted.toHex(' '))));
        const LogFinder::Match match = finder.next(view.caret());
        if (match.found()) {
            view.setSelection(match.start, match.start + finder.queryLength());
            view.viewport()->repaint();
        }
        findMs.push_back(millisecondsSince(at));
        if (!match.found() || !match.wrapped || paints.count <= before) {
            std::fprintf(stderr, "the byte view's find did not go round to its match\n");
            return 1;
        }
    }
    printFigure("find_ms_1m_lines_bytes", median(findMs), "ms", 3);
    return 0;
}

int figureSelectAllExtend(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    RichTextField* field = w->Text1;
    fillDirectly(field, std::max(100, scaled(10000000, options)));
    runEventLoopFor(1500);
    if (!QGuiApplication::clipboard()->supportsSelection())
        std::fprintf(stderr, "no primary selection on this platform: the figure is of the "
                             "keys and the paint alone\n");
    std::vector<double> ms;
    for (int r = 0; r < 5; ++r) {
        field->setFocus();
        field->setSelStart(field->length());
        runEventLoopFor(150);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        runEventLoopFor(150);
        const Clock::time_point start = Clock::now();
        QTest::keyClick(field, Qt::Key_Up, Qt::ShiftModifier);
        field->viewport()->repaint();
        QCoreApplication::processEvents();
        ms.push_back(millisecondsSince(start));
        if (field->selectionStart() != 0 || field->selectionEnd() >= field->length()) {
            std::fprintf(stderr, "Shift+Up did not take the selection back a line\n");
            return 1;
        }
    }
    printFigure("select_all_extend_ms_10m_lines", median(ms), "ms", 2);
    return 0;
}

int figureBigField(const BenchOptions& options) {
    LineDevice line;
    RDData* w = openDataWindow(line);
    if (!w) return 1;
    RichTextField* field = w->Text1;
    const int lines = std::max(100, scaled(1000000, options));
    const qsizetype lineToFind = fillDirectly(field, lines);
    // The journal takes it all in, the view and its scroll bars settle.
    runEventLoopFor(1500);
    PaintWatch paints(field->viewport());

    // One paint of the whole view, scrolled to the top.
    field->verticalScrollBar()->setValue(0);
    runEventLoopFor(100);
    if (field->characterRect(0).top() != 0) {
        std::fprintf(stderr, "the view did not go to the top\n");
        return 1;
    }
    std::vector<double> paintMs;
    for (int r = 0; r < 20; ++r) {
        const int before = paints.count;
        const Clock::time_point start = Clock::now();
        field->viewport()->repaint();
        paintMs.push_back(millisecondsSince(start));
        if (paints.count != before + 1) {
            std::fprintf(stderr, "a repaint did not paint\n");
            return 1;
        }
    }
    printFigure("paint_ms_1m_lines", median(paintMs), "ms", 3);
    // And with the time column beside the text.
    field->setTimeColumn(RichTextField::TimeColumn::TimeOfDay);
    runEventLoopFor(100);
    std::vector<double> timedMs;
    for (int r = 0; r < 20; ++r) {
        const Clock::time_point start = Clock::now();
        field->viewport()->repaint();
        timedMs.push_back(millisecondsSince(start));
    }
    field->setTimeColumn(RichTextField::TimeColumn::Hidden);
    printFigure("paint_ms_1m_lines_times", median(timedMs), "ms", 3);

    // The one match, found from the end (so the search goes round), selected,
    // brought into view and painted.
    std::vector<double> findMs;
    for (int r = 0; r < 9; ++r) {
        field->setSelStart(field->length());
        runEventLoopFor(150);
        const int before = paints.count;
        const Clock::time_point start = Clock::now();
        LogFinder finder(field->store());
        finder.setQuery(QString::fromLatin1(kLineToFind), false);
        const LogFinder::Match match = finder.next(field->selStart());
        if (match.found()) {
            field->setSelection(int(match.start), int(match.start + finder.queryLength()));
            field->showRange(match.start, match.start + finder.queryLength());
            field->viewport()->repaint();
        }
        findMs.push_back(millisecondsSince(start));
        if (match.start != lineToFind || !match.wrapped || paints.count <= before) {
            std::fprintf(stderr, "the find gave %lld (%s), not %lld going round, and a paint\n",
                         static_cast<long long>(match.start), match.wrapped ? "round" : "ahead",
                         static_cast<long long>(lineToFind));
            return 1;
        }
    }
    printFigure("find_ms_1m_lines", median(findMs), "ms", 3);

    // Select all and copy, until the clipboard holds it.
    QClipboard* clipboard = QGuiApplication::clipboard();
    std::vector<double> copySeconds;
    for (int r = 0; r < 3; ++r) {
        field->setSelStart(field->length());
        clipboard->clear();
        runEventLoopFor(150);
        const Clock::time_point start = Clock::now();
        field->selectAll();
        field->copy();
        const bool held = waitUntil([&] { return clipboard->text().size() == field->length(); });
        copySeconds.push_back(secondsBetween(start, Clock::now()));
        if (!held) {
            std::fprintf(stderr, "the clipboard did not get the field's text\n");
            return 1;
        }
    }
    clipboard->clear();
    printFigure("copy_all_1m_lines_s", median(copySeconds), "s", 3);

    // "Save mesures ...", the file name given at once.
    QTemporaryDir folder;
    const QString fileName = folder.filePath(QStringLiteral("Mesures.txt"));
    platform::seams().saveFileName = [fileName](QWidget*, const QString&, const QString&) {
        return fileName;
    };
    // Each line end saved as CR LF, and one more CR LF at the end.
    const qint64 expected = field->length() + field->store().lineCount() + 1;
    std::vector<double> saveSeconds;
    for (int r = 0; r < 3; ++r) {
        QFile::remove(fileName);
        runEventLoopFor(150);
        const int length = field->length();
        const Clock::time_point start = Clock::now();
        w->Command3_Click();
        saveSeconds.push_back(secondsBetween(start, Clock::now()));
        if (QFileInfo(fileName).size() != expected || field->length() != length) {
            std::fprintf(stderr, "the save wrote %lld bytes, not %lld\n",
                         static_cast<long long>(QFileInfo(fileName).size()),
                         static_cast<long long>(expected));
            return 1;
        }
    }
    platform::resetSeams();
    printFigure("save_1m_lines_s", median(saveSeconds), "s", 3);
    return 0;
}
