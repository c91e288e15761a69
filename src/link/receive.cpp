#include "link/receive.h"

#include "link/frame.h"

QString transformChunk(const QByteArray& chunk) {
    QString text = krt::fromWire(chunk);
    const qsizetype ack = text.indexOf(QLatin1Char(krt::ACK));
    if (ack >= 0) text.replace(ack, 1, QStringLiteral("<ACK>\r"));
    const qsizetype nak = text.indexOf(QLatin1Char(krt::NAK));
    if (nak >= 0) text.replace(nak, 1, QStringLiteral("<NACK>\r"));
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    if (cr >= 0) text.insert(cr + 1, QLatin1Char('\n'));
    return text;
}
