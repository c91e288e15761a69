#pragma once
// Helpers shared by the test suites.

#include "datawindow/rddata.h"
#include "dialogs/openers.h"
#include "fakedevice.h"
#include "link/portbinding.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"
#include "session/options.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QRadioButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

// The data window's dialog buttons open their dialogs, as after start-up.
inline const bool kDialogOpenersRegistered = (registerDialogOpeners(), true);

// Counts beeps while alive, instead of sounding them.
struct BeepCounter {
    int count = 0;
    BeepCounter() {
        platform::seams().beep = [this] { ++count; };
    }
    ~BeepCounter() { platform::resetSeams(); }
};

// The field's text with a colour tag "[n]" wherever the colour changes and
// "\n" between lines: "[0]>> GET DATE <<\n[255]<02>QD<95><03>\n".
inline QString colouredText(const RichTextField* field) {
    const LogStore& store = field->store();
    QString out;
    int current = -1;
    for (qsizetype at = 0; at < store.length(); ++at) {
        const char c = store.at(at);
        if (c == '\n') {
            out += QLatin1Char('\n');
            continue;
        }
        const int number = store.runs()[store.runAt(at)].colour;
        if (number != current) {
            out += QStringLiteral("[%1]").arg(number);
            current = number;
        }
        out += QLatin1Char(c);
    }
    return out;
}

// The colour of the character at `position`.
inline int colourAt(const RichTextField* field, qsizetype position) {
    const LogStore& store = field->store();
    return store.runs()[store.runAt(position)].colour;
}

// A real left click; check boxes and option buttons are hit on their indicator,
// since only the indicator and the caption take clicks.
inline void clickOn(QAbstractButton* b, Qt::MouseButton button = Qt::LeftButton) {
    const bool indicator = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
    QTest::mouseClick(b, button, {}, indicator ? QPoint(6, b->height() / 2) : b->rect().center());
}

// Opens the data window on a new fake device as COM1, and shows it; with
// the journal options given, or else those of the settings.
inline RDData* openDataWindowOn(std::unique_ptr<FakeDevice>& device,
                                const std::optional<krt::JournalOptions>& journal = {}) {
    device = std::make_unique<FakeDevice>();
    device->attachAs(1);
    krt::Options options = krt::Options::fromSettingsAndEnvironment();
    if (journal) options.journal = *journal;
    RDData* w = RDData::instance(std::make_shared<krt::PortBindings>(), options);
    w->show();
    return w;
}

// Closes any data window left by a test and lets deferred deletes run.
inline void unloadDataWindow() {
    if (RDData* w = RDData::existing()) w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// Runs a real event loop, as the program's own, until the predicate holds or
// the timeout passes. (QTest::qWaitFor sleeps between passes, which starves
// the receive loop's zero timer.)
template <typename Predicate> bool waitUntil(Predicate predicate, int timeoutMs = 5000) {
    if (predicate()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (predicate()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return predicate();
}

// Runs `action` on the real file dialog once it shows. The dialog runs modal
// in an event loop of its own, which only a timer can reach.
inline void whenFileDialogShows(std::function<void(QFileDialog*)> action) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            action(dialog);
        }
    });
    poll->start(5);
}

// Runs the event loop until the data field's text has at least n characters.
inline bool waitForLength(RichTextField* field, int n, int timeoutMs = 5000) {
    return waitUntil([&] { return field->length() >= n; }, timeoutMs);
}
