#pragma once

#include "survey/AddressList.h"

#include <QStringList>

// A large, realistic lstDat2 shared by the kill test and its child process, so both
// know the exact bytes a complete save produces.
inline QStringList bigLogList(int rows)
{
    QStringList list{AddressList::csvHeader()};
    list.reserve(rows + 1);
    for (int i = 0; i < rows; ++i) {
        const QString ip = QStringLiteral("198.18.%1.%2").arg(i / 254 % 256).arg(i % 254 + 1);
        const QString host = i % 3 == 0 ? QStringLiteral(u"サーバー%1号機").arg(i)
                                        : QStringLiteral("host-%1.lab.example").arg(i);
        const QString mac = QStringLiteral("02-00-%1-%2-%3-%4")
                                .arg(i >> 24 & 0xff, 2, 16, QLatin1Char('0'))
                                .arg(i >> 16 & 0xff, 2, 16, QLatin1Char('0'))
                                .arg(i >> 8 & 0xff, 2, 16, QLatin1Char('0'))
                                .arg(i & 0xff, 2, 16, QLatin1Char('0'))
                                .toUpper();
        list.append(MakeCsvRow(ip, host, mac));
    }
    return list;
}
