#include "logview/logfinder.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

using FoldTable = std::array<unsigned char, 256>;

const FoldTable& sameCase() {
    static const FoldTable table = [] {
        FoldTable t{};
        for (size_t c = 0; c < t.size(); ++c)
            t[c] = static_cast<unsigned char>(c);
        return t;
    }();
    return table;
}

// Each Latin-1 character to its case-folded form, where that is Latin-1 too
// ("µ" folds outside it and so only matches itself).
const FoldTable& foldedCase() {
    static const FoldTable table = [] {
        FoldTable t{};
        for (size_t c = 0; c < t.size(); ++c) {
            const char16_t folded = QChar(char16_t(c)).toCaseFolded().unicode();
            t[c] = static_cast<unsigned char>(folded <= 0xFF ? folded : c);
        }
        return t;
    }();
    return table;
}

// Bytes looked at per step when searching backwards.
constexpr qsizetype kBackStep = 16 * 1024;

} // namespace

LogFinder::LogFinder(const LogStore& store)
    : LogFinder(Source{[&store](qsizetype at) { return store.piece(at); },
                       [&store] { return store.length(); }}) {}

LogFinder::LogFinder(Source source) : source_(std::move(source)), fold_(&sameCase()) {}

void LogFinder::setBytes(const QByteArray& bytes) {
    query_ = QString::fromLatin1(bytes);
    matchCase_ = true;
    fold_ = &sameCase();
    pattern_ = bytes;
    searchable_ = !bytes.isEmpty();
    if (searchable_) first_[0] = first_[1] = static_cast<unsigned char>(bytes[0]);
    restart();
}

void LogFinder::setQuery(const QString& text, bool matchCase) {
    query_ = text;
    matchCase_ = matchCase;
    fold_ = matchCase ? &sameCase() : &foldedCase();
    pattern_.clear();
    searchable_ = !text.isEmpty();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 0xFF || u == u'\n' || u == u'\r') {
            searchable_ = false;
            break;
        }
        pattern_.append(char((*fold_)[u]));
    }
    if (searchable_) {
        // Latin-1 folds at most two bytes together.
        int n = 0;
        for (size_t b = 0; b < fold_->size(); ++b)
            if ((*fold_)[b] == static_cast<unsigned char>(pattern_[0]) && n < 2)
                first_[n++] = static_cast<unsigned char>(b);
        if (n == 1) first_[1] = first_[0];
    }
    restart();
}

void LogFinder::restart() {
    countedTo_ = 0;
    total_ = 0;
    blockCounts_.clear();
}

qsizetype LogFinder::startsEnd() const {
    return searchable_ ? std::max<qsizetype>(0, source_.length() - pattern_.size() + 1) : 0;
}

// The starts in data[0, starts) whose match lies within `data` (which holds
// starts + the query's length - 1 bytes). Finds each candidate by its first
// byte with memchr, one stream per byte that matches it, then compares the rest.
template <typename Found>
bool LogFinder::eachMatchIn(const char* data, qsizetype starts, qsizetype base,
                            Found& found) const {
    if (starts <= 0) return true;
    const unsigned char* fold = fold_->data();
    const auto* rest = reinterpret_cast<const unsigned char*>(pattern_.constData()) + 1;
    const qsizetype restLength = pattern_.size() - 1;
    const char* const end = data + starts;
    const auto seek = [end](const char* at, unsigned char byte) {
        const void* hit = std::memchr(at, byte, size_t(end - at));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* a = seek(data, first_[0]);
    const char* b = first_[1] == first_[0] ? end : seek(data, first_[1]);
    for (;;) {
        const char* c = std::min(a, b);
        if (c == end) return true;
        const auto* text = reinterpret_cast<const unsigned char*>(c) + 1;
        qsizetype k = 0;
        while (k < restLength && fold[text[k]] == rest[k])
            ++k;
        if (k == restLength && !found(base + (c - data))) return false;
        if (c == a)
            a = seek(c + 1, first_[0]);
        else
            b = seek(c + 1, first_[1]);
    }
}

template <typename Found>
bool LogFinder::eachMatch(qsizetype from, qsizetype to, Found found) const {
    const qsizetype length = pattern_.size();
    to = std::min(to, startsEnd());
    qsizetype pos = std::max<qsizetype>(from, 0);
    while (pos < to) {
        const QByteArrayView piece = source_.piece(pos);
        if (piece.isEmpty()) break;
        const qsizetype pieceEnd = pos + piece.size();
        // Matches wholly inside this block.
        const qsizetype inside = std::min(to, pieceEnd - length + 1);
        if (inside > pos && !eachMatchIn(piece.data(), inside - pos, pos, found)) return false;
        // Matches that run on into the next block: their bytes joined.
        const qsizetype runFrom = std::max(pos, pieceEnd - length + 1);
        const qsizetype runTo = std::min(to, pieceEnd);
        if (runFrom < runTo) {
            QVarLengthArray<char, 256> joined;
            for (qsizetype at = runFrom, stop = runTo + length - 1; at < stop;) {
                const QByteArrayView more = source_.piece(at);
                if (more.isEmpty()) return true;
                const qsizetype n = std::min(more.size(), stop - at);
                joined.append(more.data(), n);
                at += n;
            }
            if (!eachMatchIn(joined.constData(), runTo - runFrom, runFrom, found)) return false;
        }
        pos = pieceEnd;
    }
    return true;
}

qsizetype LogFinder::lastMatch(qsizetype from, qsizetype to) const {
    to = std::min(to, startsEnd());
    while (to > from) {
        const qsizetype stepFrom = std::max(from, to - kBackStep);
        qsizetype last = -1;
        eachMatch(stepFrom, to, [&last](qsizetype start) {
            last = start;
            return true;
        });
        if (last >= 0) return last;
        to = stepFrom;
    }
    return -1;
}

LogFinder::Match LogFinder::next(qsizetype from) const {
    const qsizetype end = startsEnd();
    from = std::clamp<qsizetype>(from, 0, end);
    qsizetype hit = -1;
    const auto first = [&hit](qsizetype start) {
        hit = start;
        return false;
    };
    eachMatch(from, end, first);
    if (hit >= 0) return {hit, false};
    eachMatch(0, from, first);
    if (hit >= 0) return {hit, true};
    return {};
}

LogFinder::Match LogFinder::previous(qsizetype before) const {
    const qsizetype end = startsEnd();
    before = std::clamp<qsizetype>(before, 0, end);
    if (const qsizetype hit = lastMatch(0, before); hit >= 0) return {hit, false};
    if (const qsizetype hit = lastMatch(before, end); hit >= 0) return {hit, true};
    return {};
}

std::vector<qsizetype> LogFinder::matchesIn(qsizetype from, qsizetype to) const {
    std::vector<qsizetype> starts;
    if (!searchable_) return starts;
    eachMatch(from - pattern_.size() + 1, to, [&starts](qsizetype start) {
        starts.push_back(start);
        return true;
    });
    return starts;
}

bool LogFinder::count(qsizetype budget) {
    if (source_.length() < countedTo_) restart(); // cleared without a word
    const qsizetype end = startsEnd();
    if (countedTo_ >= end) return true;
    const qsizetype stop = std::min(end, countedTo_ + std::max<qsizetype>(budget, 1));
    const size_t blocks = size_t((stop - 1) / kBlockBytes) + 1;
    if (blockCounts_.size() < blocks) blockCounts_.resize(blocks, 0);
    eachMatch(countedTo_, stop, [this](qsizetype start) {
        ++blockCounts_[size_t(start / kBlockBytes)];
        ++total_;
        return true;
    });
    countedTo_ = stop;
    return countedTo_ >= end;
}

bool LogFinder::counted() const {
    return source_.length() >= countedTo_ && countedTo_ >= startsEnd();
}

qsizetype LogFinder::ordinal(qsizetype position) const {
    if (position < 0) return 0;
    const size_t block = size_t(position / kBlockBytes);
    qsizetype n = 0;
    for (size_t b = 0; b < std::min(block, blockCounts_.size()); ++b)
        n += blockCounts_[b];
    const qsizetype blockStart = qsizetype(block) * kBlockBytes;
    eachMatch(blockStart, std::min(position + 1, countedTo_), [&n](qsizetype) {
        ++n;
        return true;
    });
    return n;
}
