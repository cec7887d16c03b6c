#pragma once

#include <QCoreApplication>
#include <QString>

// The version as the program shows it wherever it names itself: the minor number with
// at least two digits, so that version 3.1 reads "3.01".
inline QString programVersion(int major = NETROSCOPE_VERSION_MAJOR,
                              int minor = NETROSCOPE_VERSION_MINOR)
{
    return QString::number(major) + u'.' + QString::number(minor).rightJustified(2, u'0');
}

// The program's name and version for Qt, which the help, --version and the windows ask
// it for: set once its application object is made.
inline void describeProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Netroscope"));
    QCoreApplication::setApplicationVersion(programVersion());
}
