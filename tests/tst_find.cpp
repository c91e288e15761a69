// Find in the data field: the search over the store, and the find bar.

#include "fakedevice.h"
#include "logview/colours.h"
#include "logview/findbar.h"
#include "logview/logfinder.h"
#include "logview/logstore.h"
#include "testsupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

class FindTest : public QObject {
    Q_OBJECT
private slots:
    // Searching and counting over a small store, appended in alternating colours.
    void search_data();
    void search();
    // The bar's keys, wherever the focus is in it.
    void barKeys_data();
    void barKeys();
    // The bar reports each edit, and has its count read out.
    void barQueryAndCount();

    // In the data window: Ctrl+F, typing, Enter, Escape with the focus back.
    void findFromTheKeyboard();
    // A match in view stays in view while the device talks; the count grows.
    void matchHeldWhileLinesArrive();
    void cleanup();

private:
    std::unique_ptr<FakeDevice> device;
};

namespace {

// A search: the store's text, appended piece by piece in alternating colours;
// what Next and Previous find from `from` (-1: nothing); the count, and the
// count once `more` is appended.
void searchRow(const char* name, const QStringList& chunks, const QString& query, bool matchCase,
               int from, int next, bool nextWrapped, int previous, bool previousWrapped, int count,
               const QString& more = {}, int countAfter = -1) {
    QTest::newRow(name) << chunks << query << matchCase << from << next << nextWrapped << previous
                        << previousWrapped << count << more
                        << (countAfter < 0 ? count : countAfter);
}

} // namespace

void FindTest::search_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("next");
    QTest::addColumn<bool>("nextWrapped");
    QTest::addColumn<int>("previous");
    QTest::addColumn<bool>("previousWrapped");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("more");
    QTest::addColumn<int>("countAfter");

    const QString abc = "abc ABC aBc\r\n";
    searchRow("case ignored", {abc}, "abc", false, 1, 4, false, 0, false, 3, "xABC\r\n", 4);
    searchRow("case matched, previous wraps", {abc}, "ABC", true, 0, 4, false, 4, true, 1);
    // "xy one\ntwo xy\n"
    searchRow("next wraps", {"xy one\r\ntwo xy\r\n"}, "xy", false, 12, 0, true, 11, false, 2);
    searchRow("across colour runs", {"ne", "ed", "le\r\nneedle"}, "needle", true, 1, 7, false, 0,
              false, 2);
    // "Café CAFÉ café\n"
    const QString cafe = QStringLiteral("Caf\u00e9 CAF\u00c9 caf\u00e9\r\n");
    searchRow("latin-1 folded", {cafe}, "\u00c9", false, 4, 8, false, 3, false, 3);
    searchRow("latin-1 case matched", {cafe}, "\u00c9", true, 9, 8, true, 8, false, 1);
    // "µ" folds outside Latin-1, to a character whose low byte is "¼".
    searchRow("micro sign only itself", {"\u00bc \u00b5\r\n"}, "\u00b5", false, 0, 2, false, 2,
              true, 1);
    // "aaa\naa"
    searchRow("overlapping", {"aaa\r\naa"}, "aa", true, 1, 1, false, 0, false, 3, "a", 4);
    searchRow("not across a line end", {"ab\r\ncd"}, "bc", false, 0, -1, false, -1, false, 0);
    // The store keeps U+0100 as '?', which the query's U+0100 is not.
    searchRow("query beyond latin-1", {"a\u0100b"}, "a\u0100", false, 0, -1, false, -1, false, 0);
    searchRow("query with a line end", {"a\r\nb"}, "a\nb", false, 0, -1, false, -1, false, 0);
    searchRow("completed by appended text", {"xx ab"}, "abc", true, 0, -1, false, -1, false, 0, "c",
              1);
    const int straddle = int(LogStore::kBlockBytes) - 3;
    searchRow("across a block boundary", {QString(straddle, u'.'), "NeEdLe\r\n"}, "needle", false,
              0, straddle, false, straddle, true, 1, "needle", 2);
}

void FindTest::search() {
    QFETCH(QStringList, chunks);
    QFETCH(QString, query);
    QFETCH(bool, matchCase);
    QFETCH(int, from);
    QFETCH(QString, more);
    QFETCH(int, countAfter);

    LogStore store;
    int colour = 0;
    for (const QString& chunk : chunks) {
        store.append(chunk, colour);
        colour ^= 0xFF;
    }
    LogFinder finder(store);
    finder.setQuery(query, matchCase);

    const LogFinder::Match next = finder.next(from);
    QTEST(int(next.start), "next");
    QTEST(next.wrapped, "nextWrapped");
    const LogFinder::Match previous = finder.previous(from);
    QTEST(int(previous.start), "previous");
    QTEST(previous.wrapped, "previousWrapped");

    // A few bytes a step, so steps end inside matches and blocks.
    const auto countAll = [&finder] {
        for (int steps = 0; !finder.count(5); ++steps)
            if (steps > 100000) return false;
        return finder.counted();
    };
    QVERIFY(countAll());
    QTEST(int(finder.matchCount()), "count");
    if (!more.isEmpty()) {
        store.append(more, colour);
        QVERIFY(!finder.counted());
        QVERIFY(countAll());
    }
    QCOMPARE(finder.matchCount(), qsizetype(countAfter));

    // Every match, found by Next from the top, has its place in the count and
    // is highlighted wherever the visible text overlaps it.
    std::vector<qsizetype> all;
    for (auto m = finder.next(0); m.found() && !m.wrapped; m = finder.next(m.start + 1))
        all.push_back(m.start);
    QCOMPARE(int(all.size()), countAfter);
    QCOMPARE(finder.matchesIn(0, store.length()), all);
    for (size_t i = 0; i < all.size(); ++i) {
        QCOMPARE(finder.ordinal(all[i]), qsizetype(i + 1));
        const qsizetype last = all[i] + finder.queryLength() - 1;
        const std::vector<qsizetype> seen = finder.matchesIn(last, last + 1);
        QVERIFY(std::find(seen.begin(), seen.end(), all[i]) != seen.end());
    }
}

void FindTest::barKeys_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("request");

    QTest::newRow("Return") << "FindText" << int(Qt::Key_Return) << false << "next";
    QTest::newRow("Enter") << "FindText" << int(Qt::Key_Enter) << false << "next";
    QTest::newRow("Shift+Return") << "FindText" << int(Qt::Key_Return) << true << "previous";
    QTest::newRow("F3") << "FindText" << int(Qt::Key_F3) << false << "next";
    QTest::newRow("Shift+F3") << "FindText" << int(Qt::Key_F3) << true << "previous";
    QTest::newRow("Escape") << "FindText" << int(Qt::Key_Escape) << false << "close";
    QTest::newRow("Return on Previous")
        << "FindPrevious" << int(Qt::Key_Return) << false << "previous";
    QTest::newRow("F3 on Match case") << "MatchCase" << int(Qt::Key_F3) << false << "next";
}

void FindTest::barKeys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QFETCH(QString, request);

    FindBar bar;
    bar.show();
    QSignalSpy next(&bar, &FindBar::nextRequested);
    QSignalSpy previous(&bar, &FindBar::previousRequested);
    QSignalSpy close(&bar, &FindBar::closeRequested);
    QWidget* target = bar.findChild<QWidget*>(focus);
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(next.count(), request == "next" ? 1 : 0);
    QCOMPARE(previous.count(), request == "previous" ? 1 : 0);
    QCOMPARE(close.count(), request == "close" ? 1 : 0);
}

void FindTest::barQueryAndCount() {
    FindBar bar;
    bar.show();
    QSignalSpy changed(&bar, &FindBar::queryChanged);
    auto* text = bar.findChild<QLineEdit*>("FindText");
    QTest::keyClicks(text, "aB");
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last(), (QVariantList{"aB", false}));
    bar.findChild<QCheckBox*>("MatchCase")->click();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.last(), (QVariantList{"aB", true}));
    bar.focusQuery();
    QCOMPARE(text->selectedText(), QString("aB"));

    // What a screen reader reads (the name change itself reaches only an
    // active accessibility bridge, which the offscreen platform has not).
    auto* label = bar.findChild<QLabel*>("FindCount");
    bar.showCount("2 of 5");
    QCOMPARE(label->text(), QString("2 of 5"));
    QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name),
             QString("2 of 5"));
}

void FindTest::cleanup() {
    unloadDataWindow();
    device.reset();
}

namespace {
QString countShown(RDData* w) {
    return w->findChild<QLabel*>(QStringLiteral("FindCount"))->text();
}
} // namespace

void FindTest::findFromTheKeyboard() {
    RDData* w = openDataWindowOn(device);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QString lines;
    for (int i = 0; i < 300; ++i)
        lines +=
            QStringLiteral("T%1 IN01 00:00:0%2.000\r\n").arg(i, 6, 10, QLatin1Char('0')).arg(i % 3);
    w->append(lines, colour::Blue);
    w->Command5->setFocus(); // the operator was on "Clear"
    QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier);
    auto* text = w->findChild<QLineEdit*>(QStringLiteral("FindText"));
    QVERIFY(text && text->isVisible());
    QCOMPARE(QApplication::focusWidget(), text);
    // Typing finds as it goes: the first match after the caret (at the end,
    // so from the top again), selected.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("in01 00:00:02"));
    QCOMPARE(text->text(), QStringLiteral("in01 00:00:02"));
    QTRY_COMPARE(countShown(w), QStringLiteral("1 of 100 (wrapped)"));
    QCOMPARE(w->Text1->selectedText(), QStringLiteral("IN01 00:00:02"));
    const int first = w->Text1->selectionStart();
    QCOMPARE(w->Text1->store().lineAt(first), 2);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    QTRY_COMPARE(countShown(w), QStringLiteral("2 of 100"));
    QCOMPARE(w->Text1->store().lineAt(w->Text1->selectionStart()), 5);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_F3, Qt::ShiftModifier);
    QTRY_COMPARE(countShown(w), QStringLiteral("1 of 100"));
    QCOMPARE(w->Text1->selectionStart(), first);
    // "Match case" on: nothing in upper case is typed, so nothing matches.
    w->findChild<QCheckBox*>(QStringLiteral("MatchCase"))->click();
    QTRY_COMPARE(countShown(w), QStringLiteral("No match"));
    QVERIFY(!w->Text1->hasSelection()); // nothing selected says otherwise
    QCOMPARE(w->Text1->selStart(), first);
    QCOMPARE(QAccessible::queryAccessibleInterface(w->findChild<QLabel*>("FindCount"))
                 ->text(QAccessible::Name),
             QStringLiteral("No match"));
    // Escape closes the bar and gives the focus back.
    text->setFocus();
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Escape);
    QVERIFY(!text->isVisible());
    QCOMPARE(QApplication::focusWidget(), w->Command5);
}

void FindTest::matchHeldWhileLinesArrive() {
    RDData* w = openDataWindowOn(device);
    w->resize(900, 500);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QString lines;
    for (int i = 0; i < 400; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i);
    w->append(lines, colour::Black);
    QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(w->findChild<QLineEdit*>(QStringLiteral("FindText")), QString());
    auto* text = w->findChild<QLineEdit*>(QStringLiteral("FindText"));
    text->setText(QStringLiteral("line 10"));
    QTRY_COMPARE(countShown(w), QStringLiteral("1 of 11 (wrapped)")); // 10, 100..109
    QScrollBar* bar = w->Text1->verticalScrollBar();
    const int held = bar->value();
    QVERIFY(held < bar->maximum());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(device->write("line 10 again\r"));
        QVERIFY(
            waitUntil([&] { return w->Text1->text().count(QStringLiteral("again")) == i + 1; }));
    }
    QTRY_COMPARE(countShown(w), QStringLiteral("1 of 14 (wrapped)"));
    QVERIFY(!waitUntil([&] { return bar->value() != held; }, 400));
    QCOMPARE(w->Text1->selectedText(), QStringLiteral("line 10"));
    QCOMPARE(QApplication::focusWidget(), text); // not taken by the field
    // Closed, the view follows the end again.
    QTest::keyClick(text, Qt::Key_Escape);
    QTRY_COMPARE(bar->value(), bar->maximum());
    // After "Clear" the count is of what comes next, in words that fit it.
    QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier);
    clickOn(w->Command5);
    QVERIFY(device->write("line 10 once more\r"));
    QTRY_COMPARE(countShown(w), QStringLiteral("1 match"));
}

QTEST_MAIN(FindTest)
#include "tst_find.moc"
