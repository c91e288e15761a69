// Fuzz target: the emulator's frame reader. Whatever comes down the line,
// every byte must come out again in exactly one event, in order; a frame
// must be whole and its checksum right; and how the bytes are cut into reads
// must not change what is read (as long as no silence falls between them).

#include "framereader.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using sim::FrameReader;
using sim::ReaderEvent;

void check(bool condition) {
    if (!condition) std::abort();
}

// The bytes on the line that an event stands for.
QByteArray rebuild(const QList<ReaderEvent>& events) {
    QByteArray line;
    for (const ReaderEvent& e : events) {
        switch (e.kind) {
        case ReaderEvent::Frame: {
            unsigned sum = 0;
            for (const char b : e.bytes)
                sum += quint8(b);
            check(e.bytes.size() < FrameReader::MaxFrameBytes);
            line += '\x02' + e.bytes + char(sum & 0xFF) + '\x03';
            break;
        }
        case ReaderEvent::Rejected:
            check(e.bytes.startsWith('\x02') && e.reason != ReaderEvent::None);
            line += e.bytes;
            break;
        case ReaderEvent::Xon:
            line += '\x11';
            break;
        case ReaderEvent::Xoff:
            line += '\x13';
            break;
        case ReaderEvent::Loose:
            check(!e.bytes.isEmpty());
            line += e.bytes;
            break;
        }
    }
    return line;
}

// Loose text may come in more pieces when the reads are cut differently.
QList<ReaderEvent> joinLoose(const QList<ReaderEvent>& events) {
    QList<ReaderEvent> out;
    for (const ReaderEvent& e : events) {
        if (e.kind == ReaderEvent::Loose && !out.isEmpty() && out.last().kind == ReaderEvent::Loose)
            out.last().bytes += e.bytes;
        else
            out.append(e);
    }
    return out;
}

bool same(const QList<ReaderEvent>& a, const QList<ReaderEvent>& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].bytes != b[i].bytes || a[i].reason != b[i].reason)
            return false;
    return true;
}

struct Cuts {
    unsigned state;
    qsizetype next(qsizetype most) {
        state = state * 1103515245u + 12345u;
        return 1 + qsizetype((state >> 16) % unsigned(most));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    // All at once, then the silence that ends any open frame.
    FrameReader whole;
    QList<ReaderEvent> once = whole.feed(stream, 0);
    once += whole.poll(FrameReader::SilenceMs);
    check(!whole.inFrame() && whole.deadline() == -1);
    check(rebuild(once) == stream);

    // Cut into reads of 1 to 64 bytes with no time between them.
    FrameReader pieces;
    QList<ReaderEvent> cut;
    Cuts cuts{data[0]};
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = cuts.next(64);
        cut += pieces.feed(stream.mid(at, n), 0);
        at += n;
    }
    cut += pieces.poll(FrameReader::SilenceMs);
    check(same(joinLoose(once), joinLoose(cut)));

    // Cut again, with pauses of up to 300 ms and the reader polled on time:
    // frames may now be cut short, but no byte is lost or made up.
    FrameReader paced;
    QList<ReaderEvent> slow;
    Cuts pauses{data[1]};
    qint64 now = 0;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = pauses.next(64);
        now += pauses.next(300);
        const qint64 due = paced.deadline();
        if (due >= 0 && due <= now) slow += paced.poll(now);
        slow += paced.feed(stream.mid(at, n), now);
        at += n;
    }
    slow += paced.poll(now + FrameReader::SilenceMs);
    check(rebuild(slow) == stream);
    return 0;
}
