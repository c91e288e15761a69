#include "framereader.h"

namespace sim {

namespace {
constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char Xon = 0x11;
constexpr char Xoff = 0x13;
} // namespace

const char* FrameReader::reasonText(ReaderEvent::Reason reason) {
    switch (reason) {
    case ReaderEvent::BadChecksum:
        return "bad checksum";
    case ReaderEvent::Unfinished:
        return "not finished within 200 ms";
    case ReaderEvent::Abandoned:
        return "cut short by a new frame";
    case ReaderEvent::TooLong:
        return "too long";
    case ReaderEvent::None:
        break;
    }
    return "";
}

void FrameReader::flushLoose(QList<ReaderEvent>& out) {
    if (loose_.isEmpty()) return;
    out.append({ReaderEvent::Loose, loose_, ReaderEvent::None});
    loose_.clear();
}

void FrameReader::reject(QList<ReaderEvent>& out, const QByteArray& raw,
                         ReaderEvent::Reason reason) {
    out.append({ReaderEvent::Rejected, QByteArray(1, Stx) + raw, reason});
}

QList<ReaderEvent> FrameReader::feed(const QByteArray& bytes, qint64 nowMs) {
    QList<ReaderEvent> out;
    if (bytes.isEmpty()) return out;
    for (const char b : bytes) {
        if (inFrame_ && b == Etx) {
            closeAt(out);
            if (!inFrame_) continue;
        }
        if (inFrame_ && frame_.size() >= MaxFrameBytes) {
            // Whatever this was, it is no frame; look for the next start.
            reject(out, frame_, ReaderEvent::TooLong);
            inFrame_ = false;
        }
        if (!inFrame_) {
            if (b == Stx) {
                flushLoose(out);
                inFrame_ = true;
                frame_.clear();
                sums_.assign(1, 0);
                starts_.clear();
            } else if (b == Xon || b == Xoff) {
                flushLoose(out);
                out.append(
                    {b == Xon ? ReaderEvent::Xon : ReaderEvent::Xoff, {}, ReaderEvent::None});
            } else {
                loose_.append(b);
            }
            continue;
        }
        if (b == Stx) starts_.push_back(int(frame_.size()));
        frame_.append(b);
        sums_.push_back((sums_.back() + quint8(b)) & 0xFF);
    }
    flushLoose(out);
    lastByteMs_ = nowMs;
    return out;
}

// An 0x03 has arrived (not yet stored). Closes the frame when some start,
// the opening one first, has a checksum byte right before it that matches.
void FrameReader::closeAt(QList<ReaderEvent>& out) {
    const int n = int(frame_.size());
    const auto matches = [&](int from) {
        // Payload frame_[from .. n-1), checksum frame_[n-1].
        if (n - from < 1) return false;
        return ((sums_[n - 1] - sums_[from]) & 0xFF) == quint8(frame_[n - 1]);
    };
    if (matches(0)) {
        out.append({ReaderEvent::Frame, frame_.left(n - 1), ReaderEvent::None});
        inFrame_ = false;
        return;
    }
    for (const int s : starts_) {
        if (!matches(s + 1)) continue;
        const QByteArray before = frame_.left(s);
        reject(out, before,
               before.endsWith(Etx) ? ReaderEvent::BadChecksum : ReaderEvent::Abandoned);
        out.append({ReaderEvent::Frame, frame_.mid(s + 1, n - 1 - (s + 1)), ReaderEvent::None});
        inFrame_ = false;
        return;
    }
}

QList<ReaderEvent> FrameReader::poll(qint64 nowMs) {
    QList<ReaderEvent> out;
    if (inFrame_ && nowMs - lastByteMs_ >= SilenceMs) {
        reject(out, frame_,
               frame_.endsWith(Etx) ? ReaderEvent::BadChecksum : ReaderEvent::Unfinished);
        inFrame_ = false;
        frame_.clear();
    }
    return out;
}

qint64 FrameReader::deadline() const {
    return inFrame_ ? lastByteMs_ + SilenceMs : -1;
}

} // namespace sim
