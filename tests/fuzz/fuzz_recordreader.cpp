// Fuzz target: the session record's reader. Whatever a file holds, the reader
// must not crash, hang or hold more than a line; what it delivers and what it
// says of the rest must not depend on how the bytes are cut into reads; and
// every line is either delivered or counted as skipped.

#include "session/recordreader.h"

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

struct Run {
    QStringList log;
    QString summary;
    qint64 lines = 0;
    qint64 events = 0;
    qint64 skipped = 0;
};

Run read(const QByteArray& bytes, unsigned cutSeed, qsizetype maxLine) {
    Run run;
    RecordReader::Sink sink;
    sink.header = [&](const RecordReader::Header& h) {
        check(h.version >= 1 && h.version <= record::kVersion);
        run.log << QStringLiteral("header ") + h.program + h.device + h.settings +
                       QString::number(h.openedMs) + QString::number(h.com);
    };
    sink.field = [&](const QString& text, int colour, qint64 t) {
        check(colour >= 0 && colour <= 0xFFFFFF);
        run.log << QStringLiteral("field ") + QString::number(colour) + QString::number(t) + text;
    };
    sink.wire = [&](bool sent, const QByteArray& bytes, qint64 t) {
        run.log << QStringLiteral("wire ") + QString::number(sent) + QString::number(t) +
                       QString::fromLatin1(bytes);
    };
    sink.port = [&](const RecordReader::Port& p, qint64 t) {
        run.log << QStringLiteral("port ") + record::portEventName(p.event) +
                       QString::number(p.com) + p.device + QString::number(p.errorNumber) +
                       p.errorDescription + QString::number(t);
    };
    sink.clear = [&](qint64 t) { run.log << QStringLiteral("clear ") + QString::number(t); };
    RecordReader reader(sink);
    reader.setMaxLineBytes(maxLine);
    unsigned state = cutSeed;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype n = bytes.size() - at;
        if (cutSeed != 0) {
            state = state * 1103515245u + 12345u;
            n = qMin<qsizetype>(n, 1 + qsizetype((state >> 16) % 64u));
        }
        reader.feed(QByteArrayView(bytes).sliced(at, n));
        at += n;
    }
    reader.end();
    check(reader.atEnd());
    run.summary = reader.summary();
    run.lines = reader.lineCount();
    run.events = reader.eventCount();
    run.skipped = reader.skippedLines();
    check(!run.summary.isEmpty());
    check(reader.problems().size() <= RecordReader::kKeptProblems);
    check(reader.problems().size() == qMin<qint64>(run.skipped, RecordReader::kKeptProblems));
    if (reader.refusal().isEmpty()) check(run.lines == 1 + run.events + run.skipped);
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    // A small line limit so that overlong lines are reached at all.
    const qsizetype maxLine = 16 + data[1];
    const Run whole = read(bytes, 0, maxLine);
    const Run cut = read(bytes, 1u + data[0], maxLine);
    check(whole.log == cut.log && whole.summary == cut.summary && whole.lines == cut.lines &&
          whole.events == cut.events && whole.skipped == cut.skipped);
    return 0;
}
