#pragma once
// The wire record as rows of a byte view: a chunk (one write, one read)
// begins a new row, and a row holds at most 16 of its bytes. Each row reads
//   "14:03:07.125 RX 00000040  06 50 44 30 38 31 32 32  36 31 ...  ␆PD0812..."
// its time, its direction, the offset of its first byte among the bytes of
// its direction, the bytes in hex and as characters. Rows are made when they
// are asked for, so a record of any size costs a few bytes a thousand chunks.

#include "link/wirerecord.h"

#include <QString>

#include <vector>

class ByteRows {
public:
    explicit ByteRows(const WireRecord& record) : record_(record) {}

    // Takes in the chunks the record gained since the last call.
    void update();
    // After the record was cleared.
    void clear();

    qsizetype rowCount() const { return rows_; }
    struct Row {
        qsizetype chunk;
        qsizetype offset; // of its first byte in the record
        qsizetype length; // 1 to 16 bytes
    };
    Row row(qsizetype index) const;
    // The row that holds the byte at `offset` (the last row at the end).
    qsizetype rowOf(qsizetype offset) const;

    // Where things are in a row's text.
    static constexpr int kBytesPerRow = 16;
    static constexpr int kTimeColumn = 0;
    static constexpr int kDirectionColumn = 13;
    static constexpr int kOffsetColumn = 16;
    static int hexColumn(int byte) { return 26 + 3 * byte + (byte >= 8 ? 1 : 0); }
    static int charColumn(int byte) { return 76 + byte; }
    static constexpr int kColumns = 92;

    // A row's text as the view shows it, its characters one a byte as the
    // field holds them (a control byte stays itself).
    QString text(qsizetype index) const { return text(row(index)); }
    QString text(const Row& row) const;
    // The byte whose hex or character cell is at `column` of a row, or -1.
    static int byteAtColumn(int column);

private:
    static qsizetype rowsOf(qsizetype length) { return (length + kBytesPerRow - 1) / kBytesPerRow; }
    // Rows before each kStride-th chunk.
    static constexpr qsizetype kStride = 1024;
    // The first chunk of its stride, and the rows before it.
    std::pair<qsizetype, qsizetype> strideBefore(qsizetype chunk) const;

    const WireRecord& record_;
    qsizetype chunks_ = 0; // chunks taken in
    qsizetype rows_ = 0;
    std::vector<qsizetype> strideRows_;
};
