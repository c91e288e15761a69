#pragma once
// Every byte written to the port and read from it, before any transform:
// each write and each read is a chunk, with its direction and its time. The
// bytes are kept one a byte in blocks that never move, a chunk costs 16
// bytes more. Qt Core only, so it is kept and read without a window.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>
#include <vector>

class WireRecord {
public:
    enum class Direction : quint8 { Sent, Received };
    struct Chunk {
        Direction direction;
        qint64 timeMs;    // ms since the epoch
        qsizetype offset; // of its first byte in the record
        qsizetype length;
        qsizetype streamOffset; // of its first byte among the bytes of its direction
    };

    void append(Direction direction, QByteArrayView bytes, qint64 timeMs);
    void clear();

    qsizetype byteCount() const { return length_; }
    qsizetype chunkCount() const { return chunkCount_; }
    Chunk chunk(qsizetype index) const;
    // The same, one at a time and in constant time.
    qsizetype chunkOffset(qsizetype index) const { return offsetOf(index); }
    qsizetype chunkLength(qsizetype index) const {
        return (index + 1 < chunkCount_ ? offsetOf(index + 1) : length_) - offsetOf(index);
    }
    Direction chunkDirection(qsizetype index) const {
        return Direction(entry(index).offsetAndDirection & 1);
    }
    qint64 chunkTime(qsizetype index) const { return entry(index).timeMs; }
    // The chunk that holds the byte at `offset`.
    qsizetype chunkAt(qsizetype offset) const;
    // Bytes sent, and bytes received, in all.
    qsizetype streamLength(Direction direction) const { return streamBytes_[size_t(direction)]; }

    char at(qsizetype offset) const;
    // The bytes from `offset` to the end of their block; empty at the end.
    QByteArrayView piece(qsizetype offset) const;
    QByteArray bytes(qsizetype from, qsizetype to) const;

    qsizetype bytesHeld() const;

    static constexpr qsizetype kBlockBytes = 64 * 1024;

private:
    struct Entry {
        qsizetype offsetAndDirection; // offset << 1 | direction
        qint64 timeMs;
    };
    // Every kStride chunks, the bytes of each direction before that chunk.
    static constexpr qsizetype kStride = 1024;
    // The chunks in pages that never move: no doubling of a vector, whose
    // spare half would cost as much again.
    static constexpr qsizetype kPageChunks = 4096;
    const Entry& entry(qsizetype index) const {
        return pages_[size_t(index / kPageChunks)][size_t(index % kPageChunks)];
    }
    qsizetype offsetOf(qsizetype index) const { return entry(index).offsetAndDirection >> 1; }

    std::vector<std::unique_ptr<char[]>> blocks_;
    qsizetype length_ = 0;
    std::vector<std::unique_ptr<Entry[]>> pages_;
    qsizetype chunkCount_ = 0;
    std::vector<std::array<qsizetype, 2>> streamMarks_;
    std::array<qsizetype, 2> streamBytes_{};
};
