// Times the LAN name answers built to cost the most to read: a full-size answer (8,990
// bytes, 620 PTR records whose names point at a 255-byte name) and the most a packet
// may hold and still be read whole (64 records, each PTR name 32 jumps away from its
// 127 labels), each with the right id and no answer for the address asked. A LAN can
// send a thousand such packets a second to every question.
// Usage: bench_lanpackets [repetitions]
#include "probes/packets/LanNamePackets.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr quint16 kId = 0x4242;
constexpr quint32 kAsked = 0xC6120007;

QByteArray u16(int value)
{
    return QByteArray(1, char(value >> 8)) + char(value & 0xFF);
}

QByteArray record(const QByteArray& owner, int type, const QByteArray& data)
{
    return owner + u16(type) + u16(1) + QByteArray::fromHex("00000078") + u16(int(data.size())) +
           data;
}

// A 255-byte name of one-letter labels, then records pointing at it (through a chain
// of `links` pointers when there are any), up to `records` or the size of a jumbo frame.
QByteArray answer(int records, int links)
{
    const QByteArray question = QByteArray::fromHex("0138013002313803313938") +
                                "\x07in-addr\x04"
                                "arpa" +
                                QByteArray(1, '\0') + u16(12) + u16(1);
    QByteArray body = question;
    QByteArray longName;
    for (int i = 0; i < 127; ++i)
        longName += '\x01' + QByteArray(1, char('a' + i % 26));
    qsizetype target = 12 + body.size();
    body += record(longName + '\0', 1, QByteArray::fromHex("C6120007"));
    int count = 1;
    for (int k = 0; k < links; ++k, ++count) {
        const QByteArray link = record(QByteArray(1, '\0'), 99, u16(0xC000 | int(target)));
        target = 12 + body.size() + link.size() - 2;
        body += link;
    }
    const QByteArray pointer = u16(0xC000 | int(target));
    while (count < records && 12 + body.size() + 14 <= 8990) {
        body += record(pointer, 12, pointer);
        ++count;
    }
    return u16(kId) + u16(0x8400) + u16(1) + u16(count) + u16(0) + u16(0) + body;
}

void time(const char* what, const QByteArray& packet, int repetitions)
{
    QElapsedTimer clock;
    clock.start();
    int answered = 0;
    for (int k = 0; k < repetitions; ++k)
        answered += LanNamePackets::parseMdnsReverseResponse(packet, kId, kAsked).has_value();
    const double each = double(clock.nsecsElapsed()) / repetitions / 1000.0;
    std::printf("%-40s %5lld bytes  %8.2f us each (%d answers)\n", what,
                static_cast<long long>(packet.size()), each, answered);
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 2000;
    time("full size, 620 records", answer(1000, 0), repetitions);
    time("64 records, names 32 jumps away", answer(61, 31), repetitions);
    return 0;
}
