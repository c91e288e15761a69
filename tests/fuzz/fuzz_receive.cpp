// Fuzz target: the receive loop's chunk transform. The input is cut into
// chunks of at most 31 bytes, as the loop reads them (the first byte picks
// the cuts), and every chunk's text is checked for what the data field relies
// on: one character per byte, nothing lost or reordered, and exactly the
// additions the loop makes.

#include "link/frame.h"
#include "link/receive.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkChunk(const QByteArray& in) {
    const QString out = transformChunk(in);
    const bool ack = in.contains(krt::ACK);
    const bool nak = in.contains(krt::NAK);
    const bool cr = ack || nak || in.contains('\r');

    // Latin-1 only, and back to the same bytes on the wire.
    for (const QChar c : out)
        check(c.unicode() <= 0xFF);
    const QByteArray wire = krt::toWire(out);
    check(wire.size() == out.size() && krt::fromWire(wire) == out);

    // Only "<ACK>" CR, "<NACK>" CR and one LF are ever added.
    check(out.size() == in.size() + (ack ? 5 : 0) + (nak ? 6 : 0) + (cr ? 1 : 0));
    std::array<int, 256> counts{};
    for (const char b : in)
        ++counts[quint8(b)];
    for (const char b : wire)
        --counts[quint8(b)];
    for (int v = 0; v < 256; ++v) {
        int expected = 0;
        if (v == krt::ACK && ack)
            expected = 1;
        else if (v == krt::NAK && nak)
            expected = 1;
        else if (v == '\n')
            expected = -int(cr);
        else if (v == '<' || v == 'A' || v == 'C' || v == 'K' || v == '>' || v == '\r')
            expected = -int(ack) - int(nak);
        else if (v == 'N')
            expected = -int(nak);
        check(counts[v] == expected);
    }

    // The device's bytes are all there, in order (the replaced ones aside).
    qsizetype at = 0;
    bool ackSeen = false, nakSeen = false;
    for (const char b : in) {
        if (b == krt::ACK && !ackSeen) {
            ackSeen = true;
            continue;
        }
        if (b == krt::NAK && !nakSeen) {
            nakSeen = true;
            continue;
        }
        while (at < wire.size() && wire[at] != b)
            ++at;
        check(at < wire.size());
        ++at;
    }

    // The first line end is CR LF.
    const qsizetype firstCr = out.indexOf(QLatin1Char('\r'));
    check(cr == (firstCr >= 0));
    if (firstCr >= 0) check(firstCr + 1 < out.size() && out[firstCr + 1] == QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    unsigned cut = data[0];
    for (qsizetype at = 0; at < stream.size();) {
        cut = cut * 1103515245u + 12345u;
        const qsizetype length = 1 + qsizetype((cut >> 16) % 31);
        checkChunk(stream.mid(at, length));
        at += length;
    }
    checkChunk(stream.left(31));
    return 0;
}
