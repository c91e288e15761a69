// The session record: what a device line costs on disk, and how long the
// reader takes over a record of a million of them.

#include "figures.h"
#include "linedevice.h"

#include "link/receive.h"
#include "session/journal.h"
#include "session/recordreader.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int figureRecord(const BenchOptions& options) {
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    krt::JournalOptions journalOptions;
    journalOptions.folder = dir.path();
    journalOptions.maxBytes = 100LL * 1000 * 1000 * 1000;
    const int lines = std::max(1000, int(1000000 * options.scale));
    const QDateTime start = QDateTime::currentDateTime();
    const qint64 t0 = start.toMSecsSinceEpoch();
    QString path;
    qint64 headerBytes = 0;
    {
        Journal journal(journalOptions, start);
        journal.setRecordHeader(1, QStringLiteral("/dev/ttyS0"), QStringLiteral("9600,N,8,1"),
                                QStringLiteral("bench"), t0);
        journal.start();
        // The data window's part of a device line: its bytes read as one
        // chunk, and their text in the device's colour (no event of its own).
        for (int i = 0; i < lines; ++i) {
            const QByteArray chunk = deviceLines(1, i).chopped(1) + "\r\n";
            const qint64 t = t0 + qint64(i) * 33;
            journal.addWire(false, chunk, t);
            journal.addField(transformChunk(chunk), record::kDeviceColour, t);
            if (i % 4096 == 4095) journal.flush();
        }
        journal.finish();
        path = journal.recordPath();
        headerBytes = record::headerLine(t0, QStringLiteral("bench"), 1,
                                         QStringLiteral("/dev/ttyS0"), QStringLiteral("9600,N,8,1"))
                          .size();
    }
    const qint64 size = QFileInfo(path).size();
    if (size <= headerBytes) {
        std::fprintf(stderr, "no record was written\n");
        return 1;
    }
    printFigure("record_bytes_per_line", double(size - headerBytes) / lines, "bytes", 1);

    std::vector<double> seconds;
    for (int r = 0; r < 3; ++r) {
        qint64 fieldChars = 0;
        qint64 wireBytes = 0;
        RecordReader::Sink sink;
        sink.field = [&](const QString& text, int, qint64) { fieldChars += text.size(); };
        sink.wire = [&](bool, const QByteArray& bytes, qint64) { wireBytes += bytes.size(); };
        RecordReader reader(sink);
        const auto at = std::chrono::steady_clock::now();
        const QString refusal = reader.readAll(path);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - at).count());
        if (!refusal.isEmpty() || reader.eventCount() != lines || reader.skippedLines() != 0 ||
            wireBytes != qint64(lines) * 32) {
            std::fprintf(stderr, "the record did not read back: %s\n",
                         qPrintable(reader.summary()));
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    printFigure("open_1m_lines_s", seconds[1], "s", 3);
    return 0;
}
