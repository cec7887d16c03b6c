#pragma once

#include <QByteArray>
#include <QString>

// Small helpers for tests that check files byte for byte.
namespace TestFiles {

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// Code page 932 bytes given as hex, for readable expectations ("8160" etc.).
QByteArray hex(const char* text);

} // namespace TestFiles
