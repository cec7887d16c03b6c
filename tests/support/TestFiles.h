#pragma once

#include <QByteArray>
#include <QString>

// Small helpers for tests that check files byte for byte.
namespace TestFiles {

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// Waits, on any thread, until something has been written to `path`; false after
// `timeoutMs`. For a child that says it is running by writing its pid.
bool waitForContent(const QString& path, int timeoutMs = 10000);

// Hands the entry itself (a link too) to another user, nobody; false unless run as root.
bool handToAnotherUser(const QString& path);

// Code page 932 bytes given as hex, for readable expectations ("8160" etc.).
QByteArray hex(const char* text);

} // namespace TestFiles
