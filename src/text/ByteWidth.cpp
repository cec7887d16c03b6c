#include "text/ByteWidth.h"

#include "text/Cp932.h"

namespace MMojiKakucyo {

int AnsiLenB(QStringView text)
{
    return int(Cp932::encode(text).size());
}

QString AnsiMidB(QStringView text, int start, int count)
{
    const QByteArray bytes = Cp932::encode(text);
    if (start < 1)
        start = 1;
    if (count <= 0 || start > bytes.size())
        return {};
    return Cp932::decode(QByteArrayView(bytes).sliced(
        start - 1, std::min<qsizetype>(count, bytes.size() - (start - 1))));
}

} // namespace MMojiKakucyo
