#include "survey/AddressList.h"

#include "text/ByteWidth.h"

namespace AddressList {

QString listHeader()
{
    return QStringLiteral(u"IPアドレス          |HOST名                        |MACアドレス");
}

QString csvHeader()
{
    return QStringLiteral(u"IPアドレス,HOST名,MACアドレス");
}

} // namespace AddressList

namespace {

QString hostColumn(const QString& host)
{
    QString column = host.left(AddressList::kHostColumnBytes);
    if (!column.isEmpty() && column.back().isHighSurrogate())
        column.chop(1);
    if (AnsiLenB(column) > AddressList::kHostColumnBytes)
        column = AnsiMidB(host, 1, AddressList::kHostColumnBytes);
    return column;
}

} // namespace

QString MakeListRow(const QString& ip, const QString& host, const QString& mac)
{
    const QString column = hostColumn(host);
    const int ipPad = std::max<int>(0, AddressList::kIpColumnWidth - int(ip.size()));
    const int hostPad = std::max(0, AddressList::kHostColumnBytes - AnsiLenB(column));

    QString row;
    row.reserve(ip.size() + ipPad + column.size() + hostPad + mac.size() + 2);
    row += ip;
    row += QString(ipPad, u' ');
    row += u'|';
    row += column;
    row += QString(hostPad, u' ');
    row += u'|';
    row += mac;
    return row;
}

QStringView macOfListRow(QStringView row)
{
    return row.sliced(row.lastIndexOf(u'|') + 1);
}

QString MakeCsvRow(const QString& ip, const QString& host, const QString& mac)
{
    return ip + u',' + host + u',' + mac;
}

AddressEntry SplitCsvRow(QStringView row)
{
    // Walking the row field by field is the same as appending ",,," and cutting at
    // the first three commas: missing fields come out empty.
    QStringView rest = row;
    QString fields[3];
    for (QString& field : fields) {
        const qsizetype comma = rest.indexOf(u',');
        if (comma < 0) {
            field = rest.toString();
            rest = {};
        } else {
            field = rest.left(comma).toString();
            rest = rest.mid(comma + 1);
        }
    }
    return {fields[0], fields[1], fields[2]};
}
