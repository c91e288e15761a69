#include "link/wirerecord.h"

#include <algorithm>
#include <cstring>

void WireRecord::append(Direction direction, QByteArrayView bytes, qint64 timeMs) {
    if (bytes.isEmpty()) return;
    // Times never go back, whatever the clock that gives them does.
    if (chunkCount_ > 0) timeMs = std::max(timeMs, entry(chunkCount_ - 1).timeMs);
    if (chunkCount_ % kStride == 0) streamMarks_.push_back(streamBytes_);
    if (chunkCount_ == qsizetype(pages_.size()) * kPageChunks)
        pages_.emplace_back(new Entry[size_t(kPageChunks)]);
    pages_.back()[size_t(chunkCount_ % kPageChunks)] = {length_ << 1 | qsizetype(direction),
                                                        timeMs};
    ++chunkCount_;
    streamBytes_[size_t(direction)] += bytes.size();
    for (qsizetype done = 0; done < bytes.size();) {
        if (length_ == qsizetype(blocks_.size()) * kBlockBytes)
            blocks_.emplace_back(new char[size_t(kBlockBytes)]);
        const qsizetype offset = length_ % kBlockBytes;
        const qsizetype take = std::min(kBlockBytes - offset, bytes.size() - done);
        std::memcpy(blocks_.back().get() + offset, bytes.data() + done, size_t(take));
        done += take;
        length_ += take;
    }
}

void WireRecord::clear() {
    std::vector<std::unique_ptr<char[]>>().swap(blocks_);
    std::vector<std::unique_ptr<Entry[]>>().swap(pages_);
    chunkCount_ = 0;
    std::vector<std::array<qsizetype, 2>>().swap(streamMarks_);
    streamBytes_ = {};
    length_ = 0;
}

WireRecord::Chunk WireRecord::chunk(qsizetype index) const {
    const Entry& e = entry(index);
    const qsizetype offset = e.offsetAndDirection >> 1;
    const auto direction = Direction(e.offsetAndDirection & 1);
    const qsizetype end = index + 1 < chunkCount_ ? offsetOf(index + 1) : length_;
    // The direction's bytes before it: from the mark of its stride, and
    // the chunks between (at most kStride of them).
    qsizetype stream = streamMarks_[size_t(index / kStride)][size_t(direction)];
    for (qsizetype i = index / kStride * kStride; i < index; ++i)
        if (Direction(entry(i).offsetAndDirection & 1) == direction)
            stream += offsetOf(i + 1) - offsetOf(i);
    return {direction, e.timeMs, offset, end - offset, stream};
}

qsizetype WireRecord::chunkAt(qsizetype offset) const {
    // The last chunk starting at or before the offset.
    qsizetype low = 0, high = chunkCount_;
    while (high - low > 1) {
        const qsizetype middle = (low + high) / 2;
        (offsetOf(middle) <= offset ? low : high) = middle;
    }
    return low;
}

char WireRecord::at(qsizetype offset) const {
    if (offset < 0 || offset >= length_) return '\0';
    return blocks_[size_t(offset / kBlockBytes)][size_t(offset % kBlockBytes)];
}

QByteArrayView WireRecord::piece(qsizetype offset) const {
    if (offset < 0 || offset >= length_) return {};
    const qsizetype within = offset % kBlockBytes;
    return QByteArrayView(blocks_[size_t(offset / kBlockBytes)].get() + within,
                          std::min(kBlockBytes - within, length_ - offset));
}

QByteArray WireRecord::bytes(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, length_);
    to = std::clamp<qsizetype>(to, from, length_);
    QByteArray out;
    out.reserve(to - from);
    while (from < to) {
        const QByteArrayView p = piece(from);
        const qsizetype take = std::min(p.size(), to - from);
        out.append(p.first(take));
        from += take;
    }
    return out;
}

qsizetype WireRecord::bytesHeld() const {
    return qsizetype(sizeof(*this)) + qsizetype(blocks_.size()) * kBlockBytes +
           qsizetype(blocks_.capacity() * sizeof(blocks_[0])) +
           qsizetype(pages_.size()) * kPageChunks * qsizetype(sizeof(Entry)) +
           qsizetype(streamMarks_.capacity() * sizeof(streamMarks_[0]));
}
