#pragma once

#include "FuzzCheck.h"

#include "survey/AddressList.h"
#include "text/ByteWidth.h"
#include "text/Cp932.h"

#include <algorithm>

namespace FuzzCheck {

// What the display row of (ip, host, mac) promises whatever its fields hold: the IP, blanks to 20
// characters, "|", a host column exactly 30 bytes wide that begins with the host
// name's bytes (a two-byte character cut at byte 30 may leave its place blank), "|",
// the MAC untouched.
inline void checkListRow(const QString& row, const QString& ip, const QString& host,
                         const QString& mac)
{
    const qsizetype bar1 = std::max<qsizetype>(AddressList::kIpColumnWidth, ip.size());
    const qsizetype bar2 = row.size() - mac.size() - 1;
    FUZZ_CHECK(row.startsWith(ip));
    FUZZ_CHECK(bar2 > bar1 && row[bar1] == u'|' && row[bar2] == u'|');
    FUZZ_CHECK(row.endsWith(mac));
    for (qsizetype i = ip.size(); i < bar1; ++i)
        FUZZ_CHECK(row[i] == u' ');

    const QString column = row.mid(bar1 + 1, bar2 - bar1 - 1);
    const QByteArray columnBytes = Cp932::encode(column);
    FUZZ_CHECK(AnsiLenB(column) == AddressList::kHostColumnBytes);
    FUZZ_CHECK(columnBytes.size() == AddressList::kHostColumnBytes);

    const QByteArray hostBytes = Cp932::encode(host);
    const qsizetype kept = std::min<qsizetype>(hostBytes.size(), AddressList::kHostColumnBytes);
    const qsizetype sure = std::max<qsizetype>(0, kept - 1);
    FUZZ_CHECK(columnBytes.left(sure) == hostBytes.left(sure));
    if (kept > 0)
        FUZZ_CHECK(columnBytes[kept - 1] == hostBytes[kept - 1] || columnBytes[kept - 1] == ' ');
    for (qsizetype i = kept; i < columnBytes.size(); ++i)
        FUZZ_CHECK(columnBytes[i] == ' ');
}

// A data row splits the way the row followed by ",,," splits at its first three
// commas, and the three fields joined again begin that text.
inline AddressEntry checkSplitCsvRow(const QString& row)
{
    const AddressEntry entry = SplitCsvRow(row);
    for (const QString* field : {&entry.ip, &entry.host, &entry.mac})
        FUZZ_CHECK(!field->contains(u','));
    FUZZ_CHECK((row + QStringLiteral(",,,"))
                   .startsWith(MakeCsvRow(entry.ip, entry.host, entry.mac) + u','));
    return entry;
}

} // namespace FuzzCheck
