#pragma once

#include <QString>
#include <QStringList>

// One surveyed address: its text, the host name found for it and its MAC text.
// None of the three is validated here.
struct AddressEntry {
    QString ip;
    QString host;
    QString mac;

    friend bool operator==(const AddressEntry&, const AddressEntry&) = default;
};

namespace AddressList {

// Column widths of a display row: the IP column in characters, the host column in
// code page 932 bytes.
inline constexpr int kIpColumnWidth = 20;
inline constexpr int kHostColumnBytes = 30;

// Row 0 of the display list and of the data list.
QString listHeader();
QString csvHeader();

} // namespace AddressList

// The display row: IP padded to 20 characters, "|", host cut and padded to 30
// bytes, "|", MAC as it is.
QString MakeListRow(const QString& ip, const QString& host, const QString& mac);

// The MAC of a display row: what follows its last "|" (a host name may hold one,
// a MAC never).
QStringView macOfListRow(QStringView row);

// The data row: the three fields joined by "," with nothing quoted.
QString MakeCsvRow(const QString& ip, const QString& host, const QString& mac);

// The first three comma-separated fields of a data row; missing fields are empty and
// anything after the third comma is ignored.
AddressEntry SplitCsvRow(QStringView row);
