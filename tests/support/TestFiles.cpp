#include "TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <thread>

#include <unistd.h>

namespace TestFiles {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool handToAnotherUser(const QString& path)
{
    return ::lchown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

bool waitForContent(const QString& path, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(path).size() <= 0) {
        if (clock.hasExpired(timeoutMs))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace TestFiles
