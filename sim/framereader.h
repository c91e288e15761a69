#pragma once
// The emulator's ear: turns the bytes coming down the line into frames,
// rejected frames, flow-control bytes and loose text.
//
// A frame starts at 0x02 and ends at the first 0x03 whose preceding byte is
// the sum, modulo 256, of the bytes between the start and that byte. So a
// checksum of 0x02 or 0x03, or a 0x03 inside a free command, is read right.
// An 0x02 inside an unfinished frame may be the start of the next frame: when
// an 0x03 arrives, the earliest start whose bytes add up wins, and whatever
// came before it is rejected. A frame that has not ended after 200 ms of
// silence, or that grows past the size limit, is rejected as well. XON and
// XOFF count only between frames; inside one they are data (a checksum can
// take their values).

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <vector>

namespace sim {

struct ReaderEvent {
    enum Kind {
        Frame,    // payload in bytes
        Rejected, // the raw frame from its 0x02 on, in bytes; why in reason
        Xon,
        Xoff,
        Loose, // bytes outside any frame (link text, noise), in bytes
    };
    enum Reason { None, BadChecksum, Unfinished, Abandoned, TooLong };

    Kind kind = Loose;
    QByteArray bytes;
    Reason reason = None;
};

class FrameReader {
public:
    static constexpr qint64 SilenceMs = 200;
    // Longest run from 0x02 to 0x03 taken as one frame; well beyond any command.
    static constexpr int MaxFrameBytes = 1024;

    // Takes bytes received at nowMs (a monotonic clock in milliseconds).
    QList<ReaderEvent> feed(const QByteArray& bytes, qint64 nowMs);
    // Rejects a frame that has waited out the silence; call at deadline().
    QList<ReaderEvent> poll(qint64 nowMs);
    // When poll() has work to do, or -1 while no frame is open.
    qint64 deadline() const;
    bool inFrame() const { return inFrame_; }

    static const char* reasonText(ReaderEvent::Reason reason);

private:
    void flushLoose(QList<ReaderEvent>& out);
    void reject(QList<ReaderEvent>& out, const QByteArray& raw, ReaderEvent::Reason reason);
    void closeAt(QList<ReaderEvent>& out);

    bool inFrame_ = false;
    QByteArray frame_;        // bytes after the opening 0x02
    std::vector<int> sums_;   // sums_[i]: sum of frame_[0..i) modulo 256
    std::vector<int> starts_; // positions of 0x02 inside frame_
    QByteArray loose_;
    qint64 lastByteMs_ = 0;
};

} // namespace sim
