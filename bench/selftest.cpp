#include "selftest.h"

#include "linedevice.h"
#include "linetimes.h"

#include "logview/richtextfield.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

template <typename Predicate> bool runUntil(Predicate predicate, int timeoutMs = 5000) {
    QElapsedTimer waited;
    waited.start();
    while (!predicate() && waited.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return predicate();
}

QString lines(int count, int first) {
    return QString::fromLatin1(deviceLines(count, first));
}

// Whether anything but the background is drawn in the rows of `cell`.
bool drawnIn(QWidget* viewport, const QRect& cell) {
    const QImage image = viewport->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, cell.center().y());
    for (int y = cell.top(); y <= cell.bottom() && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) return true;
    return false;
}

void percentiles() {
    check(percentile({}, 0.5) == 0.0, "percentile of nothing is 0");
    const std::vector<double> five{5, 1, 3, 2, 4};
    check(percentile(five, 0.0) == 1 && percentile(five, 0.2) == 1 && percentile(five, 0.5) == 3,
          "percentile by nearest rank, low and middle");
    check(percentile(five, 0.99) == 5 && percentile(five, 1.0) == 5,
          "percentile by nearest rank, high and the largest");
    std::vector<double> thousand;
    for (int i = 1000; i >= 1; --i)
        thousand.push_back(i);
    check(percentile(thousand, 0.99) == 990, "p99 of 1..1000 is 990");
}

void lineTimes() {
    RichTextField field;
    // The view follows the end, as in the data window with "Auto Scroll".
    QObject::connect(&field, &RichTextField::changed, &field,
                     [&] { field.setSelStart(field.length()); });
    field.resize(320, 200);
    field.show();
    runUntil([&] { return field.isVisible(); });
    field.setSelText(QStringLiteral("before the lines\r"));
    runUntil([&] { return !field.paintingHeld(); });

    LineTimes times(&field, 60);
    int shownCalls = 0;
    times.onShown = [&] { ++shownCalls; };
    times.sending(0);
    field.setSelText(lines(1, 0));
    check(times.inField() == 1 && times.shown() == 0, "a line is in the field before its paint");
    check(runUntil([&] { return times.shown() == 1; }), "the line is shown by the field's paint");
    check(shownCalls == 1, "one call for the paint that showed it");
    check(times.msToText().size() == 1 && times.msToText()[0] >= 0 &&
              times.msToShown()[0] >= times.msToText()[0],
          "written, then in the field, then shown");
    check(drawnIn(field.viewport(), field.characterRect(field.length() - kDeviceLineBytes)),
          "a watched paint still draws the line");

    // The view holds all lines so far: the top row is the line before them.
    times.sending(1);
    field.setSelText(lines(1, 1));
    field.viewport()->repaint(QRect(0, 0, 1, 1));
    check(times.inField() == 2 && times.shown() == 1,
          "a paint that does not draw the newest line shows nothing");
    check(runUntil([&] { return times.shown() == 2; }), "the next line is shown by its paint");

    // More lines in one insertion than the view holds rows.
    QStringList burst;
    for (int i = 2; i < 60; ++i) {
        times.sending(i);
        burst << lines(1, i);
    }
    field.setSelTexts(burst);
    check(times.inField() == 60, "every line of an insertion is in the field with it");
    check(runUntil([&] { return times.shown() == 60; }),
          "lines that scrolled on before a paint are shown by the paint of the newest");
    const std::vector<double> shown = times.msToShown();
    check(shown[2] >= shown[59], "the first line of a burst waited at least as long as the last");
}

} // namespace

int selfTest() {
    failures = 0;
    percentiles();
    lineTimes();
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks FAILED");
    return failures;
}
