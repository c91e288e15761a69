#include "logview/logstore.h"

#include <QLatin1StringView>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Writes `n` UTF-16 units as Latin-1 bytes, '?' for anything above 255. A
// plain loop over two arrays, which the compiler turns into vector code.
void toLatin1(const char16_t* from, qsizetype n, char* to) {
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = from[i];
        to[i] = c < 0x100 ? char(c) : '?';
    }
}

// Turns each CR of `bytes` into '\n', dropping the LF right after it, in
// place. Returns how many bytes are left. Spans without a CR are moved
// whole.
qsizetype foldCarriageReturns(char* bytes, qsizetype n) {
    char* const end = bytes + n;
    char* read = static_cast<char*>(std::memchr(bytes, '\r', size_t(n)));
    if (!read) return n;
    char* write = read;
    while (read) {
        *write++ = '\n';
        ++read;
        if (read < end && *read == '\n') ++read;
        char* next =
            read < end ? static_cast<char*>(std::memchr(read, '\r', size_t(end - read))) : nullptr;
        char* const stop = next ? next : end;
        std::memmove(write, read, size_t(stop - read));
        write += stop - read;
        read = next;
    }
    return write - bytes;
}

} // namespace

LogStore::LogStore() : lineStarts_{0}, lineTimes_{0} {}

void LogStore::append(QStringView text, int colour, qint64 timeMs) {
    if (text.isEmpty()) return;
    if (runs_.empty() || runs_.back().colour != colour) runs_.push_back(Run{length_, colour});
    // The lines this text begins take its time, the last one too when it
    // is still empty: its first character comes now. Times never go back.
    timeMs = std::max(timeMs, lastTime_);
    lastTime_ = timeMs;
    const bool lastEmpty = lineStarts_.back() == length_;
    if (epochs_.empty() ||
        timeMs - epochs_.back().base > qint64(std::numeric_limits<quint32>::max()))
        epochs_.push_back({lastEmpty ? lineCount() - 1 : lineCount(), timeMs});
    const auto stamp = quint32(timeMs - epochs_.back().base);
    if (lastEmpty) lineTimes_.back() = stamp;

    const char16_t* const source = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (length_ == qsizetype(blocks_.size()) * kBlockBytes)
            blocks_.emplace_back(std::shared_ptr<char[]>(new char[size_t(kBlockBytes)]));
        const qsizetype offset = length_ % kBlockBytes;
        char* const span = blocks_.back().get() + offset;

        // As much of the text as the block has room for, converted straight
        // into it; folding line ends only ever shortens it.
        const qsizetype take = std::min(kBlockBytes - offset, n - i);
        toLatin1(source + i, take, span);
        i += take;
        // A CR that ends this span pairs with an LF that starts the next.
        if (source[i - 1] == u'\r' && i < n && source[i] == u'\n') ++i;
        const qsizetype kept = foldCarriageReturns(span, take);

        const char* const end = span + kept;
        for (const char* p = span;
             (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p))));) {
            ++p;
            lineStarts_.push_back(length_ + (p - span));
            lineTimes_.push_back(stamp);
        }
        length_ += kept;
    }
}

void LogStore::clear() {
    std::vector<std::shared_ptr<char[]>>().swap(blocks_);
    std::vector<qsizetype>{0}.swap(lineStarts_);
    std::vector<quint32>{0}.swap(lineTimes_);
    std::vector<Epoch>().swap(epochs_);
    lastTime_ = std::numeric_limits<qint64>::min();
    std::vector<Run>().swap(runs_);
    length_ = 0;
}

qsizetype LogStore::lineLength(qsizetype line) const {
    const qsizetype end = line + 1 < lineCount() ? lineStart(line + 1) - 1 : length_;
    return end - lineStart(line);
}

qsizetype LogStore::lineAt(qsizetype position) const {
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), position);
    return std::max<qsizetype>(0, (after - lineStarts_.begin()) - 1);
}

qint64 LogStore::lineTime(qsizetype line) const {
    if (line < 0 || line >= lineCount() || (line == lineCount() - 1 && lineLength(line) == 0))
        return -1;
    const auto after =
        std::upper_bound(epochs_.begin(), epochs_.end(), line,
                         [](qsizetype l, const Epoch& e) { return l < e.firstLine; });
    return std::prev(after)->base + lineTimes_[size_t(line)];
}

char LogStore::at(qsizetype position) const {
    if (position < 0 || position >= length_) return '\0';
    return blocks_[size_t(position / kBlockBytes)][size_t(position % kBlockBytes)];
}

QByteArrayView LogStore::piece(qsizetype position) const {
    if (position < 0 || position >= length_) return {};
    const qsizetype offset = position % kBlockBytes;
    const qsizetype size = std::min(kBlockBytes - offset, length_ - position);
    return QByteArrayView(blocks_[size_t(position / kBlockBytes)].get() + offset, size);
}

namespace {
void appendSpan(QString& out, QByteArrayView bytes) {
    out.append(QLatin1StringView(bytes.data(), bytes.size()));
}
void appendSpan(QByteArray& out, QByteArrayView bytes) {
    out.append(bytes);
}
bool isNewline(QChar c) {
    return c == u'\n';
}
bool isNewline(char c) {
    return c == '\n';
}
} // namespace

template <typename Out> void LogStore::appendRange(Out& out, qsizetype from, qsizetype to) const {
    while (from < to) {
        const QByteArrayView bytes = piece(from);
        const qsizetype size = std::min(bytes.size(), to - from);
        appendSpan(out, bytes.first(size));
        from += size;
    }
}

template <typename Out, typename LineEnd>
Out LogStore::collect(qsizetype from, qsizetype to, LineEnd lineEnd) const {
    from = std::clamp<qsizetype>(from, 0, length_);
    to = std::clamp<qsizetype>(to, 0, length_);
    if (from >= to) return {};

    // The line ends inside from..to are the '\n' before each line start in
    // from + 1..to.
    const auto first = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), from);
    const auto last = std::upper_bound(first, lineStarts_.end(), to);
    Out out;
    out.reserve(to - from + (last - first) * (lineEnd.size() - 1));
    if (lineEnd.size() == 1 && isNewline(lineEnd.front())) {
        appendRange(out, from, to);
        return out;
    }
    for (auto start = first; start != last; ++start) {
        appendRange(out, from, *start - 1);
        out.append(lineEnd);
        from = *start;
    }
    appendRange(out, from, to);
    return out;
}

QString LogStore::text(qsizetype from, qsizetype to, QStringView lineEnd) const {
    return collect<QString>(from, to, lineEnd);
}

QByteArray LogStore::bytes(qsizetype from, qsizetype to, QByteArrayView lineEnd) const {
    return collect<QByteArray>(from, to, lineEnd);
}

LogStore::Excerpt LogStore::excerpt(qsizetype from, qsizetype to) const {
    Excerpt e;
    from = std::clamp<qsizetype>(from, 0, length_);
    to = std::clamp<qsizetype>(to, from, length_);
    if (from == to) return e;
    const size_t first = size_t(from / kBlockBytes), last = size_t((to - 1) / kBlockBytes);
    e.blocks_.assign(blocks_.begin() + qsizetype(first), blocks_.begin() + qsizetype(last) + 1);
    e.from_ = from - qsizetype(first) * kBlockBytes;
    e.to_ = to - qsizetype(first) * kBlockBytes;
    return e;
}

QString LogStore::Excerpt::text() const {
    QString out;
    out.reserve(length());
    for (qsizetype at = from_; at < to_;) {
        const qsizetype offset = at % kBlockBytes;
        const qsizetype size = std::min(kBlockBytes - offset, to_ - at);
        out.append(QLatin1StringView(blocks_[size_t(at / kBlockBytes)].get() + offset, size));
        at += size;
    }
    return out;
}

size_t LogStore::runAt(qsizetype position) const {
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), position,
                                        [](qsizetype p, const Run& run) { return p < run.start; });
    return after == runs_.begin() ? 0 : size_t(after - runs_.begin()) - 1;
}

qsizetype LogStore::runEnd(size_t run) const {
    return run + 1 < runs_.size() ? runs_[run + 1].start : length_;
}

qsizetype LogStore::bytesHeld() const {
    return qsizetype(sizeof(*this)) + qsizetype(blocks_.size()) * kBlockBytes +
           qsizetype(blocks_.capacity() * sizeof(blocks_[0])) +
           qsizetype(lineStarts_.capacity() * sizeof(qsizetype)) +
           qsizetype(lineTimes_.capacity() * sizeof(quint32)) +
           qsizetype(epochs_.capacity() * sizeof(Epoch)) +
           qsizetype(runs_.capacity() * sizeof(Run));
}
