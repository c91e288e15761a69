#include "logview/byterows.h"

#include <QDateTime>

#include <algorithm>

void ByteRows::update() {
    for (; chunks_ < record_.chunkCount(); ++chunks_) {
        if (chunks_ % kStride == 0) strideRows_.push_back(rows_);
        rows_ += rowsOf(record_.chunkLength(chunks_));
    }
}

void ByteRows::clear() {
    chunks_ = rows_ = 0;
    std::vector<qsizetype>().swap(strideRows_);
}

std::pair<qsizetype, qsizetype> ByteRows::strideBefore(qsizetype chunk) const {
    const qsizetype stride = chunk / kStride;
    return {stride * kStride, strideRows_[size_t(stride)]};
}

ByteRows::Row ByteRows::row(qsizetype index) const {
    if (chunks_ == 0) return {0, 0, 0};
    index = std::clamp<qsizetype>(index, 0, rows_ - 1);
    // The stride that holds the row, then its chunks one by one.
    const auto after = std::upper_bound(strideRows_.begin(), strideRows_.end(), index);
    qsizetype chunk = qsizetype(after - strideRows_.begin() - 1) * kStride;
    qsizetype before = *std::prev(after);
    for (; chunk + 1 < chunks_; ++chunk) {
        const qsizetype n = rowsOf(record_.chunkLength(chunk));
        if (index < before + n) break;
        before += n;
    }
    const qsizetype within = (index - before) * kBytesPerRow;
    const qsizetype offset = record_.chunkOffset(chunk) + within;
    return {chunk, offset, std::min<qsizetype>(kBytesPerRow, record_.chunkLength(chunk) - within)};
}

qsizetype ByteRows::rowOf(qsizetype offset) const {
    if (chunks_ == 0) return 0;
    if (offset >= record_.chunkOffset(chunks_ - 1) + record_.chunkLength(chunks_ - 1))
        return rows_ - 1;
    const qsizetype chunk = record_.chunkAt(std::max<qsizetype>(0, offset));
    auto [at, rows] = strideBefore(chunk);
    for (; at < chunk; ++at)
        rows += rowsOf(record_.chunkLength(at));
    return rows + (std::max<qsizetype>(0, offset) - record_.chunkOffset(chunk)) / kBytesPerRow;
}

QString ByteRows::text(const Row& r) const {
    if (r.length <= 0) return QString();
    static const char digits[] = "0123456789ABCDEF";
    QString out(kColumns, QLatin1Char(' '));
    const QString time = QDateTime::fromMSecsSinceEpoch(record_.chunkTime(r.chunk))
                             .toString(QStringLiteral("hh:mm:ss.zzz"));
    out.replace(kTimeColumn, time.size(), time);
    const bool sent = record_.chunkDirection(r.chunk) == WireRecord::Direction::Sent;
    out.replace(kDirectionColumn, 2, sent ? QStringLiteral("TX") : QStringLiteral("RX"));
    // The offset among the bytes of its direction.
    const WireRecord::Chunk c = record_.chunk(r.chunk);
    const qsizetype stream = c.streamOffset + (r.offset - c.offset);
    for (int i = 0; i < 8; ++i)
        out[kOffsetColumn + i] = QLatin1Char(digits[(stream >> (28 - 4 * i)) & 0xF]);
    for (int i = 0; i < r.length; ++i) {
        const auto b = uchar(record_.at(r.offset + i));
        out[hexColumn(i)] = QLatin1Char(digits[b >> 4]);
        out[hexColumn(i) + 1] = QLatin1Char(digits[b & 0xF]);
        out[charColumn(i)] = QLatin1Char(char(b));
    }
    return out.left(charColumn(int(r.length)));
}

int ByteRows::byteAtColumn(int column) {
    for (int i = 0; i < kBytesPerRow; ++i)
        if (column == hexColumn(i) || column == hexColumn(i) + 1 || column == charColumn(i))
            return i;
    return -1;
}
